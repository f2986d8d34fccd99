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

// "int:B:T", "double:B:T:D" (ZDoubleValidator), "plain:B:T:D" (QDoubleValidator),
// "double-default" (ZDoubleValidator with Qt's defaults) or "none".
QValidator *makeValidator(const QString &description, QObject *parent)
{
    const QStringList parts = description.split(QLatin1Char(':'));
    const QString kind = parts.first();
    if (kind == QLatin1String("int"))
        return new QIntValidator(parts.at(1).toInt(), parts.at(2).toInt(), parent);
    if (kind == QLatin1String("double"))
        return new ZDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), parent);
    if (kind == QLatin1String("plain"))
        return new QDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), parent);
    if (kind == QLatin1String("double-default"))
        return new ZDoubleValidator(parent);
    return nullptr;
}

std::unique_ptr<ClampedLineEdit> makeEdit(bool frequency, const QString &validatorSpec, const QString &text)
{
    std::unique_ptr<ClampedLineEdit> edit;
    if (frequency)
        edit = std::make_unique<ZFreqLineEdit>();
    else
        edit = std::make_unique<ClampedLineEdit>();
    if (QValidator *validator = makeValidator(validatorSpec, edit.get()))
        edit->setValidator(validator);
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
    void unreadableTextIsKept_data();
    void unreadableTextIsKept();
    void unsuitableValidator_data();
    void unsuitableValidator();
    void separatorsAreAlike_data();
    void separatorsAreAlike();
    void connectClampClampsRejectedInput_data();
    void connectClampClampsRejectedInput();
};

void TestInputComponents::keysClampAndStep_data()
{
    QTest::addColumn<bool>("frequency");
    QTest::addColumn<QString>("validator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("returnPressedFromStep");

    const int ret = Qt::Key_Return;
    const int up = Qt::Key_Up;
    const int down = Qt::Key_Down;
    QTest::newRow("double above top") << false << "double:0:20:1" << ret << "25" << "20.00" << 0;
    QTest::newRow("double comma truncated") << false << "double:0:20:1" << ret << "3,75" << "3.70" << 0;
    QTest::newRow("double apostrophe") << false << "double:0:20:1" << int(Qt::Key_Enter) << "1'5" << "1.50" << 0;
    QTest::newRow("double default decimals") << false << "double-default" << ret << "12.5" << "12.50" << 0;
    QTest::newRow("int below bottom") << false << "int:0:100" << ret << "-7" << "0" << 0;
    QTest::newRow("up steps five") << false << "double:0:20:1" << up << "3.5" << "8.50" << 1;
    QTest::newRow("down clamps to bottom") << false << "double:0:20:1" << down << "2,5" << "0.00" << 1;
    const QString intMax = QString::number(std::numeric_limits<int>::max());
    QTest::newRow("int up past int range") << false << QString("int:0:%1").arg(intMax) << up
                                          << QString::number(std::numeric_limits<int>::max() - 1) << intMax << 1;
    QTest::newRow("freq edit clamps") << true << "double:1:6200:3" << ret << "7000" << "6200.00" << 0;
    QTest::newRow("freq edit steps") << true << "double:1:6200:3" << down << "880" << "875.00" << 1;
}

void TestInputComponents::keysClampAndStep()
{
    QFETCH(bool, frequency);
    QFETCH(QString, validator);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(int, returnPressedFromStep);

    TestSupport::LogCapture log;
    auto edit = makeEdit(frequency, validator, text);
    QSignalSpy returnPressed(edit.get(), &QLineEdit::returnPressed);
    QTest::keyClick(edit.get(), Qt::Key(key));

    QCOMPARE(edit->text(), expected);
    if (key == Qt::Key_Up || key == Qt::Key_Down)
        QCOMPARE(returnPressed.count(), returnPressedFromStep);
    QCOMPARE(log.lines(QtWarningMsg), QStringList());
}

void TestInputComponents::unreadableTextIsKept_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warning");

    QTest::newRow("double clamp") << "double:0:20:1" << int(Qt::Key_Return) << "1.2.3"
        << "Ui::Components::ClampedLineEdit >> ZDoubleValidator was used but value cannot be casted to double type: 1.2.3";
    QTest::newRow("int step") << "int:0:100" << int(Qt::Key_Down) << "4x"
        << "Ui::Components::ClampedLineEdit >> change value can't parse given text as int: 4x";
}

void TestInputComponents::unreadableTextIsKept()
{
    QFETCH(QString, validator);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, warning);

    TestSupport::LogCapture log;
    auto edit = makeEdit(false, validator, text);
    QSignalSpy returnPressed(edit.get(), &QLineEdit::returnPressed);
    QTest::keyClick(edit.get(), Qt::Key(key));

    QCOMPARE(edit->text(), text);
    QCOMPARE(log.lines(QtWarningMsg), QStringList{warning});
    QCOMPARE(returnPressed.count(), 0);
}

void TestInputComponents::unsuitableValidator_data()
{
    QTest::addColumn<bool>("frequency");
    QTest::addColumn<QString>("validator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("debugLine");

    const QString clampNeither = QStringLiteral(
        " >> current validator doesn't appear to be neither QIntValidator nor ZDoubleValidator");
    const QString stepNeither = QStringLiteral(
        " >> current validator doesn't appear to be neither QIntValidator nor QDoubleValidator");
    const QString plain = QStringLiteral("Ui::Components::ClampedLineEdit");
    const QString freq = QStringLiteral("Ui::Components::ZFreqLineEdit");

    QTest::newRow("none, return") << false << "none" << int(Qt::Key_Return)
                                  << QStringList{plain + " >> validator is not set"} << plain + clampNeither;
    QTest::newRow("freq with int, return") << true << "int:0:100" << int(Qt::Key_Return)
                                           << QStringList{freq + " >> QDoubleValidator is not set"}
                                           << freq + clampNeither;
    QTest::newRow("freq with plain double, down") << true << "plain:0:20:1" << int(Qt::Key_Down) << QStringList()
                                                  << freq + stepNeither;
}

void TestInputComponents::unsuitableValidator()
{
    QFETCH(bool, frequency);
    QFETCH(QString, validator);
    QFETCH(int, key);
    QFETCH(QStringList, warnings);
    QFETCH(QString, debugLine);

    TestSupport::LogCapture log;
    const QString text = QStringLiteral("25");
    auto edit = makeEdit(frequency, validator, text);
    QTest::keyClick(edit.get(), Qt::Key(key));

    QCOMPARE(edit->text(), text);
    QCOMPARE(log.lines(QtWarningMsg), warnings);
    QCOMPARE(log.lines(QtDebugMsg), QStringList{debugLine});
}

void TestInputComponents::separatorsAreAlike_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("input");

    const QList<QLocale> locales{QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                 QLocale(QLocale::English, QLocale::UnitedStates)};
    for (const QLocale &locale : locales) {
        for (const QString &input : {QStringLiteral("1,5"), QStringLiteral("1.5"), QStringLiteral("1'5")})
            QTest::addRow("%s %s", qPrintable(locale.name()), qPrintable(input)) << locale << input;
    }
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

void TestInputComponents::connectClampClampsRejectedInput_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("expected");

    QTest::newRow("not connected") << false << "3,75";
    QTest::newRow("connected") << true << "3.70";
}

void TestInputComponents::connectClampClampsRejectedInput()
{
    QFETCH(bool, connected);
    QFETCH(QString, expected);

    auto edit = makeEdit(false, QStringLiteral("double:0:20:1"), QString());
    if (connected) {
        edit->connectClamp();
        edit->connectClamp();
    }
    // Two decimals where one is allowed: the validator rejects the text.
    edit->setText(QStringLiteral("3,75"));
    QCOMPARE(edit->text(), expected);
}

QTEST_MAIN(TestInputComponents)
#include "tst_inputcomponents.moc"
