#include "app/formbuilder.h"
#include "app/formdefinition.h"
#include "app/shape.h"
#include "app/systemcolours.h"
#include "darkscheme.h"
#include "testhelpers.h"
#include "widgethelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

using namespace quadrelink;

namespace {

// The palette role that carries a control's back colour.
QPalette::ColorRole backRole(form::Kind kind)
{
    switch (kind) {
    case form::Kind::TextBox:
    case form::Kind::ComboBox:
        return QPalette::Base;
    case form::Kind::Button:
        return QPalette::Button;
    default:
        return QPalette::Window;
    }
}

} // namespace

class tst_FormLayout : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<QMainWindow>();
        m_controls = buildForm(*m_window);
    }
    void cleanup() { m_window.reset(); }

    void everyControlAsInTheTables_data()
    {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < form::controls.size(); ++i)
            QTest::newRow(form::controls[i].name.data()) << int(i);
    }
    void everyControlAsInTheTables()
    {
        QFETCH(int, row);
        const auto &place = form::controls[std::size_t(row)];
        const auto &look = place;
        auto *widget = m_controls.client->findChild<QWidget *>(objectNameOf(place.name));
        QVERIFY(widget);

        const QString container = place.container == form::formName ? QStringLiteral("client")
                                                                    : objectNameOf(place.container);
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(),
                 QRect(place.left / 15, place.top / 15, place.width / 15, place.height / 15));

        if (place.kind != form::Kind::Shape && place.kind != form::Kind::Image)
            QCOMPARE(textOf(widget), qs(look.text));
        QCOMPARE(widget->font().family(), qs(look.font.family));
        QCOMPARE(widget->font().pointSizeF(), look.font.points);
        QCOMPARE(widget->font().weight(), QFont::Normal);
        QCOMPARE(widget->isHidden(), bool(look.further & form::Hidden));

        if (auto *shape = qobject_cast<Shape *>(widget)) {
            QCOMPARE(shape->BackColor(), look.backColour);
        } else {
            QCOMPARE(widget->palette().color(backRole(place.kind)),
                     toQColor(look.backColour, m_window->palette()));
        }
        QCOMPARE(widget->accessibleName(), qs(look.accessibleName));
        if (auto *label = qobject_cast<QLabel *>(widget);
            label && place.kind == form::Kind::Label) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QVERIFY(label->autoFillBackground());
        }
    }

    void windowAsDesigned()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Quadrelink v.1.0.0"));
        QCOMPARE(m_window->font().pointSizeF(), 12.0);
        QCOMPARE(m_controls.Label2->geometry(), QRect(224, 32, 167, 39));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_controls.client->size(), QSize(741, 284));
    }

    void comboLists_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("port number")
            << 0 << QStringList {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}
            << "1";
        QTest::newRow("baud rate")
            << 1 << QStringList {"110",   "300",   "600",   "1200",  "2400",  "4800",  "9600",
                                 "14400", "19200", "28800", "38400", "57600", "115200"}
            << "1200";
        QTest::newRow("parity") << 2 << QStringList {"n", "e", "o", "s", "m"} << "n";
        QTest::newRow("data bits") << 3 << QStringList {"5", "6", "7", "8"} << "8";
        QTest::newRow("stop bits, no 1.5") << 4 << QStringList {"1", "2"} << "1";
    }
    void comboLists()
    {
        QFETCH(int, box);
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QComboBox *combo = m_controls.Combo1[box];
        QStringList actual;
        for (int i = 0; i < combo->count(); ++i)
            actual << combo->itemText(i);
        QCOMPARE(actual, items);
        QCOMPARE(combo->currentText(), text);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->insertPolicy(), QComboBox::NoInsert);
        QCOMPARE(combo->itemText(combo->currentIndex()), text);
    }

    void designFontsMapToInstalledFacesThatWriteCyrillic_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("sans") << "MS Sans Serif";
        QTest::newRow("serif") << "Times New Roman";
    }
    void designFontsMapToInstalledFacesThatWriteCyrillic()
    {
        QFETCH(QString, family);
        const QStringList substitutes = QFont::substitutes(family);
        QVERIFY(!substitutes.isEmpty());
        const QFontInfo used {QFont(family)};
        if (!QFontDatabase::hasFamily(substitutes.front()))
            QSKIP("no substitute face installed (make deps installs fonts-liberation2)");
        QVERIFY2(substitutes.contains(used.family(), Qt::CaseInsensitive),
                 qPrintable(used.family()));
        QVERIFY(QFontDatabase::writingSystems(used.family()).contains(QFontDatabase::Cyrillic));
    }

    void stackingOrder()
    {
        const auto check = [](QWidget *container, std::span<const std::string_view> topFirst) {
            QStringList actual;
            for (QObject *child : container->children())
                if (child->isWidgetType())
                    actual.prepend(child->objectName());
            QStringList expected;
            for (auto name : topFirst)
                expected << objectNameOf(name);
            return actual == expected;
        };
        QVERIFY(check(m_controls.client, form::formStacking));
        QVERIFY(check(m_controls.Frame1[1], form::aboutStacking));
        QVERIFY(check(m_controls.Frame1[0], form::portFrameStacking));
    }

    // Text stands out from its background under a light and a dark desktop
    // scheme alike: the fixed light-yellow readouts get dark text even where
    // the scheme's text is light.
    void textReadableUnderEveryScheme_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("control");
        for (bool dark : {false, true})
            for (const auto &c : form::controls)
                if (c.kind != form::Kind::Shape && c.kind != form::Kind::Image
                    && c.kind != form::Kind::Frame)
                    QTest::addRow("%s, %s", dark ? "dark" : "light", c.name.data())
                        << dark << objectNameOf(c.name);
    }
    void textReadableUnderEveryScheme()
    {
        QFETCH(bool, dark);
        QFETCH(QString, control);
        const QPalette before = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkScheme());
        QMainWindow window;
        const FormControls controls = buildForm(window);
        QApplication::setPalette(before);

        auto *widget = controls.client->findChild<QWidget *>(control);
        QVERIFY(widget);
        const bool box = qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QPlainTextEdit *>(widget);
        const bool button = qobject_cast<QAbstractButton *>(widget);
        const QPalette &palette = widget->palette();
        const QColor back = palette.color(box          ? QPalette::Base
                                              : button ? QPalette::Button
                                                       : QPalette::Window);
        const QColor text = palette.color(box          ? QPalette::Text
                                              : button ? QPalette::ButtonText
                                                       : QPalette::WindowText);
        const double ratio = contrastRatio(back, text);
        QVERIFY2(ratio >= 4.5,
                 qPrintable(QStringLiteral("%1 on %2: %3:1")
                                .arg(text.name(), back.name())
                                .arg(ratio, 0, 'f', 2)));
    }

    void menuHasOneItemThatFiresAtOnce()
    {
        const QList<QAction *> actions = m_window->menuBar()->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.front()->text(), QStringLiteral("About"));
        QCOMPARE(actions.front()->objectName(), QStringLiteral("mnu_prog"));
        QVERIFY(!actions.front()->menu());
        QVERIFY(actions.front()->shortcut().isEmpty());
    }

    void resizingLaysNothingOut_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("enlarged") << QSize(1200, 700);
        QTest::newRow("shrunk") << QSize(300, 120);
    }
    void resizingLaysNothingOut()
    {
        QFETCH(QSize, size);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QList<QRect> before;
        const auto widgets = m_controls.client->findChildren<QWidget *>();
        for (QWidget *w : widgets)
            before << w->geometry();
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size);
        for (int i = 0; i < widgets.size(); ++i)
            QCOMPARE(widgets[i]->geometry(), before[i]);
    }

private:
    std::unique_ptr<QMainWindow> m_window;
    FormControls m_controls;
};

QTEST_MAIN(tst_FormLayout)
#include "tst_formlayout.moc"
