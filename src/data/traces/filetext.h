#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the trace and Touchstone files share: the atomic write, the bounded
// read and the one shape of a refusal.
namespace ZData::TR::FileText {

// Levels are written to the thousandth of a dB, far below what the device
// resolves, so files stay short and readable.
inline constexpr int kLevelDecimals = 3;

// Through QSaveFile: the old file stays whole until the new one is complete.
bool writeAtomically(const QString &path, const QByteArray &text, const QString &tag, QString *error);
// Nothing, with a refusal, for a file that cannot be read or is larger
// than limit bytes.
std::optional<QByteArray> readBounded(const QString &path, qint64 limit, const QString &tag, QString *error);
// Logs ">> <text>" as a warning and puts text into error when given.
void report(const QString &tag, const QString &text, QString *error);
// Logs ">> <name>:<line>: <reason>, file refused" (no line when 0) and
// puts the same text into error when given.
void refuse(const QString &tag, const QString &name, int line, const QString &reason, QString *error);
// A level with kLevelDecimals decimals; a level that rounds to zero is
// written "0.000", never "-0.000", so the text reads back and writes again
// the same.
QString levelText(double levelDb);
// A head or comment value on one line: a line break inside it would end
// the head early.
QString singleLine(QString value);
// The lines of a text file, without their CR LF or LF.
QStringList lines(const QByteArray &text);

} // namespace ZData::TR::FileText
