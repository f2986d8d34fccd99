#include "logcapture.h"
#include "ui/components/clampedlineedit.h"
#include "ui/components/zdoublevalidator.h"
#include "ui/components/zfreqlineedit.h"

#include <QIntValidator>
#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <memory>

using Ui::Components::ClampedLineEdit;
using Ui::Components::ZDoubleValidator;
using Ui::Components::ZFreqLineEdit;

namespace {

// "freq:" in front makes a frequency edit; then "int:B:T", "double:B:T:D"
// (ZDoubleValidator), "plain:B:T:D" (QDoubleValidator) or "none".
std::unique_ptr<ClampedLineEdit> makeEdit(QString shape, const QString &text)
{
    const bool frequency = shape.startsWith(QLatin1String("freq:"));
    std::unique_ptr<ClampedLineEdit> edit(frequency ? new ZFreqLineEdit : new ClampedLineEdit);
    shape.remove(QLatin1String("freq:"));
    const QStringList parts = shape.split(QLatin1Char(':'));
    if (parts.first() == QLatin1String("int"))
        edit->setValidator(new QIntValidator(parts.at(1).toInt(), parts.at(2).toInt(), edit.get()));
    else if (parts.first() == QLatin1String("double"))
        edit->setValidator(new ZDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), edit.get()));
    else if (parts.first() == QLatin1String("plain"))
        edit->setValidator(new QDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), edit.get()));
    edit->setText(text);
    return edit;
}

} // namespace

class TestInputComponents : public QObject
{
    Q_OBJECT

private slots:
    void keysClampAndStep_data();
    void keysClampAndStep();
    void separatorsAreAlike_data();
    void separatorsAreAlike();
};

void TestInputComponents::keysClampAndStep_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const int ret = Qt::Key_Return;
    const QString intMax = QString::number(std::numeric_limits<int>::max());
    QTest::newRow("double above top") << "double:0:20:1" << ret << "25" << "20.00";
    QTest::newRow("double comma truncated") << "double:0:20:1" << ret << "3,75" << "3.70";
    QTest::newRow("down clamps to bottom") << "double:0:20:1" << int(Qt::Key_Down) << "2,5" << "0.00";
    QTest::newRow("int up past int range") << "int:0:" + intMax << int(Qt::Key_Up) << QString::number(std::numeric_limits<int>::max() - 1) << intMax;
    QTest::newRow("freq edit clamps") << "freq:double:1:6200:3" << ret << "7000" << "6200.00";
    // Text that cannot be read, or no validator to read it with, is kept.
    QTest::newRow("unreadable double") << "double:0:20:1" << ret << "1.2.3" << "1.2.3";
    QTest::newRow("unreadable int step") << "int:0:100" << int(Qt::Key_Down) << "4x" << "4x";
    QTest::newRow("no validator") << "none" << ret << "25" << "25";
    QTest::newRow("freq edit with plain double, step") << "freq:plain:0:20:1" << int(Qt::Key_Down) << "25" << "25";
    // No key: text the validator rejects, set with the clamp connected twice.
    QTest::newRow("rejected input clamped once") << "double:0:20:1" << 0 << "3,75" << "3.70";
}

void TestInputComponents::keysClampAndStep()
{
    QFETCH(QString, validator);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    TestSupport::LogCapture log;
    auto edit = makeEdit(validator, key ? text : QString());
    QSignalSpy returnPressed(edit.get(), &QLineEdit::returnPressed);
    if (key) {
        QTest::keyClick(edit.get(), Qt::Key(key));
    } else {
        edit->connectClamp();
        edit->connectClamp();
        edit->setText(text);
    }
    QCOMPARE(edit->text(), expected);
    // A step confirms the new value as Return would; a failed one does not.
    if (key && key != Qt::Key_Return)
        QCOMPARE(returnPressed.count(), expected == text ? 0 : 1);
}

void TestInputComponents::separatorsAreAlike_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("input");
    QTest::newRow("German, point") << QLocale(QLocale::German, QLocale::Germany) << "1.5";
    QTest::newRow("C, comma") << QLocale::c() << "1,5";
    QTest::newRow("English, apostrophe") << QLocale(QLocale::English, QLocale::UnitedStates) << "1'5";
}

void TestInputComponents::separatorsAreAlike()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, input);
    ZDoubleValidator validator(0, 20, 2);
    validator.setLocale(locale);
    QString text = input;
    int position = text.size();
    QCOMPARE(validator.validate(text, position), QValidator::Acceptable);
    QCOMPARE(text, input);
    QString tooMany = input + QStringLiteral("55");
    QCOMPARE(validator.validate(tooMany, position), QValidator::Invalid);
}

QTEST_MAIN(TestInputComponents)
#include "tst_inputcomponents.moc"
