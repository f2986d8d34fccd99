#pragma once

#include "data/scan/tscanpreset.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace Ui {
class PresetEditor;
}

namespace Ui::Components {
class ClampedLineEdit;
class ZFreqLineEdit;
} // namespace Ui::Components

// Edits the range presets of the user profile: the list itself (add,
// duplicate, delete, rename) and per channel the range, the point count,
// the marker frequencies and the limit mask. OK and Apply check every
// preset, write the profile and restart the sweep on the preset being
// edited; a refusal names its reason and changes nothing.
class PresetEditor : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kMinPoints = 2;

    explicit PresetEditor(QWidget *parent = nullptr);
    ~PresetEditor() override;

    // The presets as the form holds them, or the first reason they cannot
    // be used; the form is read before it is checked.
    bool collect(QList<ZData::TScanPreset> &presets, QString &reason);
    // Checks, writes and applies; false with the reason shown.
    bool apply();

signals:
    void signalApplied();

private:
    struct TChannelForm
    {
        Ui::Components::ZFreqLineEdit *start = nullptr;
        Ui::Components::ZFreqLineEdit *stop = nullptr;
        Ui::Components::ClampedLineEdit *points = nullptr;
        std::array<Ui::Components::ZFreqLineEdit *, ZData::TChannelPreset::kMaxMarks> marks{};
        QTableWidget *limits = nullptr;
    };

    QWidget *makeChannelPage(int channel);
    void showPreset(int index);
    // Reads the form into the preset shown; false with the reason shown.
    bool storeForm();
    // Why channel c of the form cannot be read, or empty.
    QString readChannelForm(int c, const QString &presetName, ZData::TChannelPreset &channel) const;
    void selectRow(int row);
    void addPreset(const ZData::TScanPreset &preset);
    void deletePreset();
    void showReason(const QString &reason);
    QString uniqueName(const QString &base) const;

    std::unique_ptr<Ui::PresetEditor> m_ui;
    QList<ZData::TScanPreset> m_presets;
    int m_shown = -1;
    QListWidget *m_list = nullptr;
    QLineEdit *m_name = nullptr;
    std::array<TChannelForm, ZData::TScanPreset::kChannelCount> m_channels;
    QLabel *m_reason = nullptr;
    QPushButton *m_delete = nullptr;
};
