#include "app/module1.h"
#include "resources/resources.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

using namespace quadrelink;

namespace {

// Records every icon call and answers from a small script.
class RecordingUser32 final : public User32
{
public:
    QHash<QWidget *, QWidget *> owners;
    bool iconMissing = false;
    QStringList log;

    HWND GetWindow(HWND window, int command) override
    {
        return command == GW_OWNER ? owners.value(window) : nullptr;
    }
    int GetSystemMetrics(int index) override
    {
        return index == SM_CXICON || index == SM_CYICON ? 32 : 16;
    }
    HICON LoadImageA(HINSTANCE, const QByteArray &name, unsigned, int width, int, unsigned) override
    {
        log << QStringLiteral("load %1 %2").arg(QString::fromLatin1(name)).arg(width);
        return iconMissing ? 0 : HICON(width);
    }
    qintptr SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam) override
    {
        if (message == WM_SETICON)
            log << QStringLiteral("%1 %2 %3")
                       .arg(window->objectName(), wParam == ICON_BIG ? u"large" : u"small")
                       .arg(lParam);
        return 0;
    }
};

} // namespace

class tst_Module1 : public QObject
{
    Q_OBJECT

private slots:
    void messageOrder_data()
    {
        QTest::addColumn<bool>("owned");
        QTest::addColumn<bool>("alsoOwner");
        QTest::addColumn<bool>("iconMissing");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("ownerless window gets each icon twice")
            << false << true << false
            << QStringList {"load Icon1 32", "form large 32", "form large 32",
                            "load Icon1 16", "form small 16", "form small 16"};
        QTest::newRow("owned window and its top owner")
            << true << true << false
            << QStringList {"load Icon1 32", "top large 32", "form large 32",
                            "load Icon1 16", "top small 16", "form small 16"};
        QTest::newRow("window alone")
            << true << false << false
            << QStringList {"load Icon1 32", "form large 32", "load Icon1 16", "form small 16"};
        QTest::newRow("missing icon sends handle 0")
            << false << true << true
            << QStringList {"load Icon1 32", "form large 0", "form large 0",
                            "load Icon1 16", "form small 0", "form small 0"};
    }
    void messageOrder()
    {
        QFETCH(bool, owned);
        QFETCH(bool, alsoOwner);
        QFETCH(bool, iconMissing);
        QFETCH(QStringList, expected);

        QWidget top, middle, form;
        top.setObjectName("top");
        middle.setObjectName("middle");
        form.setObjectName("form");
        RecordingUser32 user32;
        user32.iconMissing = iconMissing;
        if (owned) {
            user32.owners.insert(&form, &middle);
            user32.owners.insert(&middle, &top);
        }
        ApplyWindowIcon(user32, &form, "Icon1", alsoOwner);
        QCOMPARE(user32.log, expected);
    }

    void qtIconsByNameWithoutRegardToCase_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("as the program asks") << QByteArray("Icon1") << true;
        QTest::newRow("as the resource is named") << QByteArray("ICON1") << true;
        QTest::newRow("lower case") << QByteArray("icon1") << true;
        QTest::newRow("unknown name") << QByteArray("Icon2") << false;
    }
    void qtIconsByNameWithoutRegardToCase()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, found);
        QtUser32 user32({{"ICON1", resources::icon1()}});
        const auto handle
            = user32.LoadImageA(0, name, User32::IMAGE_ICON, 32, 32, User32::LR_SHARED);
        QCOMPARE(handle != 0, found);
        // Shared: the same size asked again is the same handle.
        QCOMPARE(user32.LoadImageA(0, name, User32::IMAGE_ICON, 32, 32, User32::LR_SHARED), handle);
    }

    void qtIconsReachTheWindow()
    {
        QWidget window;
        QtUser32 user32({{"ICON1", resources::icon1()}});
        QCOMPARE(user32.GetWindow(&window, User32::GW_OWNER), nullptr);
        QVERIFY(user32.GetSystemMetrics(User32::SM_CXICON)
                > user32.GetSystemMetrics(User32::SM_CXSMICON));
        ApplyWindowIcon(user32, &window, "Icon1", true);
        const QList<QSize> sizes = window.windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(user32.GetSystemMetrics(User32::SM_CXICON),
                                     user32.GetSystemMetrics(User32::SM_CYICON))));
        QVERIFY(sizes.contains(QSize(user32.GetSystemMetrics(User32::SM_CXSMICON),
                                     user32.GetSystemMetrics(User32::SM_CYSMICON))));
    }

    void dialogOwnerIsItsParentsWindow()
    {
        QWidget main;
        QWidget child(&main);
        QWidget dialog(&child, Qt::Dialog);
        QtUser32 user32({});
        QCOMPARE(user32.GetWindow(&dialog, User32::GW_OWNER), &main);
        QCOMPARE(user32.GetWindow(&main, User32::GW_OWNER), nullptr);
    }
};

QTEST_MAIN(tst_Module1)
#include "tst_module1.moc"
