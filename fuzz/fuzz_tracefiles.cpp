// Feeds arbitrary text to the trace file reader and to the Touchstone
// reader; the first byte chooses which (and for Touchstone, S21 or S12).
// What a reader accepts must be a trace the readouts can work on: within
// the bounds, finite, frequencies in order; and written out again it must
// read back the same.
#include "fuzzsupport.h"

#include "data/traces/limitmask.h"
#include "data/traces/touchstone.h"
#include "data/traces/tracefile.h"
#include "data/traces/tracereadouts.h"
#include "data/traces/tracescale.h"

#include <cmath>
#include <cstdint>

namespace {

using FuzzSupport::expect;
using namespace ZData::TR;

enum class EReader : quint8 { TRACE_FILE, TOUCHSTONE_S21, TOUCHSTONE_S12, COUNT };

constexpr int kDivisions = 10;
const QString kName = QStringLiteral("fuzz");

// Frequencies never go back; strictly increasing where a repeat would be
// lost (Touchstone).
void checkTrace(const TTrace &trace, bool strictlyIncreasing)
{
    expect(!trace.isEmpty());
    expect(trace.isComplete());
    for (int i = 0; i < trace.size(); ++i) {
        expect(std::isfinite(trace.frequencyHz(i)) && trace.frequencyHz(i) >= 0.0);
        expect(std::isfinite(trace.levelDb(i)));
        if (i > 0)
            expect(strictlyIncreasing ? trace.frequencyHz(i) > trace.frequencyHz(i - 1)
                                      : trace.frequencyHz(i) >= trace.frequencyHz(i - 1));
    }
    // The arithmetic the views run on every sweep must cope with any of it.
    const TBandReadout band = TraceReadouts::band(trace);
    expect(band.isValid() && band.points == trace.size());
    TraceReadouts::bandwidth(trace);
    TraceReadouts::difference(trace, trace);
    TraceScale::autoscale(trace, kDivisions);
    const TLimitMask mask{{trace.frequencyHz(0), trace.frequencyHz(0) + 1.0, band.minimum.levelDb, {}}};
    expect(LimitMask::judge(trace, mask).result != ELimitResult::FAIL);
}

void traceFile(const QByteArray &text)
{
    const std::optional<TTraceFile> file = TraceFileFormat::parse(text, kName);
    if (!file)
        return;
    int rows = 0;
    for (const TTraceRecord &record : file->records) {
        checkTrace(record.trace, false);
        rows += record.trace.size();
    }
    expect(rows <= TraceFileFormat::kMaxRows);
    // Written out, read back and written again: the same text.
    const QByteArray written = TraceFileFormat::toText(*file);
    const std::optional<TTraceFile> again = TraceFileFormat::parse(written, kName);
    expect(again.has_value());
    expect(TraceFileFormat::toText(*again) == written);
}

void touchstone(const QByteArray &text, ZData::EScanChannel parameter)
{
    const std::optional<TTrace> trace = Touchstone::parse(text, kName, parameter);
    if (!trace)
        return;
    expect(trace->size() <= Touchstone::kMaxPoints);
    checkTrace(*trace, true);
    const bool s21 = parameter == ZData::EScanChannel::S21;
    const QByteArray written = Touchstone::toText(TTraceInfo(), s21 ? *trace : TTrace(), s21 ? TTrace() : *trace);
    const std::optional<TTrace> again = Touchstone::parse(written, kName, parameter);
    expect(again.has_value());
    expect(again->frequencies() == trace->frequencies());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray text = FuzzSupport::bytes(data + 1, size - 1);
    switch (EReader(data[0] % quint8(EReader::COUNT))) {
    case EReader::TRACE_FILE:
        traceFile(text);
        break;
    case EReader::TOUCHSTONE_S21:
        touchstone(text, ZData::EScanChannel::S21);
        break;
    default:
        touchstone(text, ZData::EScanChannel::S12);
        break;
    }
    return 0;
}
