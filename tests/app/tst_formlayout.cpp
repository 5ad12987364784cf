#include "app/formbuilder.h"
#include "app/formdefinition.h"
#include "app/shape.h"
#include "app/startuptexts.h"
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
#include <QPushButton>
#include <QScopeGuard>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextBlock>

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

// The back colours of the tables as the controls must show them: a fixed
// colour as its red, green and blue; a system colour as the desktop's colour
// for it, read from the palette role that stands for it.
QColor expectedBackColour(form::Colour colour, const QPalette &desktop)
{
    switch (colour) {
    case 0x00C0FFFF: // the readouts' light yellow
        return QColor(255, 255, 192);
    case 0x80000005: // window background
        return desktop.color(QPalette::Base);
    case 0x8000000A: // active border
        return desktop.color(QPalette::Midlight);
    case 0x8000000F: // button face
        return desktop.color(QPalette::Button);
    default:
        return {}; // a colour this table does not expect: the comparison fails
    }
}

// The room a control gives one line of its text, and how it places the line
// there: labels their contents, buttons the style's contents rectangle, combo
// boxes their edit field less the editor's two-pixel margins, frames the top
// border line between the title's indents.
std::pair<QRect, Qt::Alignment> textBoxOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return {label->contentsRect(), label->alignment()};
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return {button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button),
                Qt::AlignCenter};
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = true;
        option.frame = combo->hasFrame();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        return {field.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter};
    }
    if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        const QFontMetrics metrics(frame->font());
        const int indent = metrics.averageCharWidth();
        return {QRect(indent, 0, frame->width() - 2 * indent, metrics.height()), Qt::AlignLeft};
    }
    return {};
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
                     expectedBackColour(look.backColour, m_window->palette()));
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

    // The window is laid out for faces metric-compatible with its design
    // faces; a wider face cuts captions short ("ommand:"). Checked with the
    // faces the window resolves here, against the designed rectangles.
    void everyTextFitsItsBox_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        for (const form::Control &control : form::controls) {
            const auto kind = control.kind;
            const QString name = objectNameOf(control.name);
            for (std::string_view item : control.items)
                QTest::addRow("%s item %s", control.name.data(), item.data()) << name << qs(item);
            if ((kind == form::Kind::Label || kind == form::Kind::Button
                 || kind == form::Kind::Frame)
                && !control.text.empty()) {
                QTest::addRow("%s \"%s\"", control.name.data(), control.text.data())
                    << name << qs(control.text);
            }
        }
        QTest::newRow("Label2 with no reply") << "Label2"
                                              << "XXXXXX";
    }
    void everyTextFitsItsBox()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto *widget = m_controls.client->findChild<QWidget *>(control);
        QVERIFY(widget);
        const auto [box, align] = textBoxOf(widget);
        QVERIFY(box.isValid());

        // Across: the advance, which places the line (a right-aligned label
        // that is too narrow loses its first letters). Down: the ink, placed
        // as the control places the line.
        const QFontMetrics metrics(widget->font());
        const QString face = QFontInfo(widget->font()).family();
        const int advance = metrics.horizontalAdvance(text);
        QVERIFY2(
            advance <= box.width(),
            qPrintable(
                QStringLiteral("%1 px in %2 px, face %3").arg(advance).arg(box.width()).arg(face)));
        const QRect line
            = QStyle::alignedRect(Qt::LeftToRight, align, QSize(advance, metrics.height()), box);
        const QRect ink
            = metrics.tightBoundingRect(text).translated(0, line.top() + metrics.ascent());
        QVERIFY2(ink.top() >= box.top() && ink.bottom() <= box.bottom(),
                 qPrintable(QStringLiteral("ink rows %1 to %2 in %3 to %4, face %5")
                                .arg(ink.top())
                                .arg(ink.bottom())
                                .arg(box.top())
                                .arg(box.bottom())
                                .arg(face)));
    }

    // The About panel's maker text has no scroll bar: every line must stay
    // whole on one row and the last row inside the box.
    void makerTextFitsItsBox()
    {
        QPlainTextEdit *edit = m_controls.Text9;
        edit->setPlainText(makerText());
        m_controls.Frame1[1]->show();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QRect viewport = edit->viewport()->rect();
        for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
            QTextCursor cursor(block);
            const QRect start = edit->cursorRect(cursor);
            cursor.movePosition(QTextCursor::EndOfBlock);
            const QRect end = edit->cursorRect(cursor);
            const QString what = QStringLiteral("\"%1\" ends at %2,%3 in %4x%5, face %6")
                                     .arg(block.text())
                                     .arg(end.right())
                                     .arg(end.bottom())
                                     .arg(viewport.width())
                                     .arg(viewport.height())
                                     .arg(QFontInfo(edit->font()).family());
            QVERIFY2(end.top() == start.top(), qPrintable(what));
            QVERIFY2(viewport.contains(end), qPrintable(what));
        }
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
    // the scheme's text is light. A switch of scheme while the program runs
    // gives the colours that a start under the new scheme gives.
    void textReadableUnderEveryScheme_data()
    {
        QTest::addColumn<bool>("darkAtStart");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("control");
        const auto name = [](bool dark) { return dark ? "dark" : "light"; };
        for (const auto &[darkAtStart, dark] :
             {std::pair {false, false}, {true, true}, {false, true}, {true, false}})
            for (const auto &c : form::controls)
                if (c.kind != form::Kind::Shape && c.kind != form::Kind::Image
                    && c.kind != form::Kind::Frame)
                    QTest::addRow("%s%s%s, %s", name(darkAtStart),
                                  darkAtStart == dark ? "" : " then ",
                                  darkAtStart == dark ? "" : name(dark), c.name.data())
                        << darkAtStart << dark << objectNameOf(c.name);
    }
    void textReadableUnderEveryScheme()
    {
        QFETCH(bool, darkAtStart);
        QFETCH(bool, dark);
        QFETCH(QString, control);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        const auto scheme = [&](bool dark) { return dark ? darkScheme() : before; };
        QApplication::setPalette(scheme(darkAtStart));
        QMainWindow window;
        const FormControls controls = buildForm(window);
        QApplication::setPalette(scheme(dark));
        QMainWindow startedThere;
        const FormControls reference = buildForm(startedThere);

        const auto colours = [&](const FormControls &built) {
            auto *widget = built.client->findChild<QWidget *>(control);
            const bool box = qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget)
                || qobject_cast<QPlainTextEdit *>(widget);
            const bool button = qobject_cast<QAbstractButton *>(widget);
            const QPalette &palette = widget->palette();
            return std::pair {palette.color(box          ? QPalette::Base
                                                : button ? QPalette::Button
                                                         : QPalette::Window),
                              palette.color(box          ? QPalette::Text
                                                : button ? QPalette::ButtonText
                                                         : QPalette::WindowText)};
        };
        QVERIFY(controls.client->findChild<QWidget *>(control));
        QTRY_COMPARE(colours(controls), colours(reference));
        const auto [back, text] = colours(controls);
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
