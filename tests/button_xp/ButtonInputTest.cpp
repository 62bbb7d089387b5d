#include "ButtonTestFakes.h"

#include "button_xp/Button_XP.h"
#include "platform/PlatformFonts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>

namespace velmora {

using test::FakeCursor;
using test::RecordingShell;
using test::RecordingSound;

// Event-order tests: real Qt input goes to the host surface, and every event, sound and opened
// target lands in one log.
class ButtonInputTest : public QObject {
    Q_OBJECT

  private:
    struct Rig {
        QStringList log;
        QWidget window;
        Button_XP button{&window, QStringLiteral("cmdTest")};
        RecordingSound sound{log};
        RecordingShell shell{log, QStringLiteral("shell")};
        RecordingShell hyperlink{log, QStringLiteral("link")};
        FakeCursor cursor;
        int repaints = 0;

        Rig() {
            window.resize(200, 100);
            button.host().setGeometry(10, 10, 75, 23);
            button.setSoundService(&sound);
            button.setShellService(&shell);
            button.setHyperlinkService(&hyperlink);
            button.setCursorService(&cursor);
            cursor.under = &button.host();
            const auto mouse = [this](const char* name) {
                return [this, name](Integer& b, Integer& s, Single& x, Single& y) {
                    log << QStringLiteral("%1(%2,%3,%4,%5)")
                               .arg(QLatin1String(name))
                               .arg(b)
                               .arg(s)
                               .arg(x)
                               .arg(y);
                };
            };
            connect(&button, &Button_XP::MouseDown, &button, mouse("MouseDown"));
            connect(&button, &Button_XP::MouseUp, &button, mouse("MouseUp"));
            connect(&button, &Button_XP::MouseMove, &button, mouse("MouseMove"));
            connect(&button, &Button_XP::Click, &button,
                    [this] { log << QStringLiteral("Click"); });
            connect(&button, &Button_XP::MouseIn, &button,
                    [this](Integer& s) { log << QStringLiteral("MouseIn(%1)").arg(s); });
            connect(&button, &Button_XP::MouseOut, &button,
                    [this](Integer& s) { log << QStringLiteral("MouseOut(%1)").arg(s); });
            connect(&button, &Button_XP::KeyDown, &button, [this](Integer& k, Integer& s) {
                log << QStringLiteral("KeyDown(%1,%2)").arg(k).arg(s);
            });
            connect(&button, &Button_XP::KeyUp, &button, [this](Integer& k, Integer& s) {
                log << QStringLiteral("KeyUp(%1,%2)").arg(k).arg(s);
            });
            connect(&button, &Button_XP::KeyPress, &button,
                    [this](Integer& a) { log << QStringLiteral("KeyPress(%1)").arg(a); });
            connect(&button, &Button_XP::Repainted, &button, [this] { ++repaints; });
            window.show();
        }
        UserControl& host() { return button.host(); }
        const ButtonXpFields& f() const { return button.fields(); }
        // Moves and the leave poll forget the mouse: the pointer is elsewhere now.
        void pointerLeaves() { cursor.under = &window; }
        void pointerReturns() { cursor.under = &button.host(); }
        QStringList take() {
            QStringList out = log;
            log.clear();
            return out;
        }
    };

    static void sendKey(QWidget* w, QEvent::Type type, int key, const QString& text,
                        bool autoRepeat = false, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent event(type, key, mods, text, autoRepeat);
        QApplication::sendEvent(w, &event);
    }

    // Sent straight to the widget: the test's own moves must not be merged with earlier ones.
    static void move(QWidget* w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
        QMouseEvent event(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }

    static void dblClick(QWidget* w, QPoint pos) {
        QMouseEvent event(QEvent::MouseButtonDblClick, pos, w->mapToGlobal(pos), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }

  private slots:
    void initTestCase() { registerFontSubstitutions(); }

    void clickRaisesDownSoundClickUpInOrder() {
        Rig r;
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 5));
        QCOMPARE(r.f().g_IsDown, Byte(1));
        QCOMPARE(r.f().g_LastShift, Integer(1));
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
        QCOMPARE(r.take(),
                 (QStringList{"MouseDown(1,1,10,5)", "Sound", "Click", "MouseUp(1,0,10,5)"}));
        QCOMPARE(r.f().g_IsDown, Byte(0));
        // Found beside the program, whatever the current folder.
        QCOMPARE(r.sound.files.value(0),
                 QCoreApplication::applicationDirPath() + QLatin1String("/resources/click.wav"));
    }

    void clickOpensTheUrlBetweenClickAndMouseUp_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("opened");
        QTest::newRow("mailto goes to the shell") << "mailto:a@b.c"
                                                  << "shell:mailto:a@b.c";
        QTest::newRow("scheme in capitals is a link") << "MAILTO:a@b.c"
                                                      << "link:MAILTO:a@b.c";
        QTest::newRow("web address") << "http://x.y/"
                                     << "link:http://x.y/";
        QTest::newRow("empty opens nothing") << ""
                                             << "";
    }
    void clickOpensTheUrlBetweenClickAndMouseUp() {
        QFETCH(QString, url);
        QFETCH(QString, opened);
        Rig r;
        r.button.setURL(url);
        QTest::mouseClick(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
        QStringList expected{"MouseDown(1,0,3,3)", "Sound", "Click"};
        if (!opened.isEmpty())
            expected << opened;
        expected << "MouseUp(1,0,3,3)";
        QCOMPARE(r.take(), expected);
    }

    void releaseOnTheEdgeIsOutside_data() {
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<bool>("clicks");
        QTest::newRow("last column inside") << QPoint(74, 22) << true;
        QTest::newRow("origin inside") << QPoint(0, 0) << true;
        QTest::newRow("right edge") << QPoint(75, 10) << false;
        QTest::newRow("bottom edge") << QPoint(10, 23) << false;
        QTest::newRow("left of it") << QPoint(-1, 10) << false;
    }
    void releaseOnTheEdgeIsOutside() {
        QFETCH(QPoint, release);
        QFETCH(bool, clicks);
        Rig r;
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, release);
        QCOMPARE(r.log.contains(QStringLiteral("Click")), clicks);
        QCOMPARE(r.log.contains(QStringLiteral("Sound")), clicks);
        QCOMPARE(r.log.last().startsWith(QLatin1String("MouseUp")), true);
    }

    void enteringOnceAndLeavingWithTheShiftOfTheLastPress() {
        Rig r;
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
        r.take();
        move(&r.host(), QPoint(6, 6));
        move(&r.host(), QPoint(7, 7));
        move(&r.host(), QPoint(8, 8));
        QStringList log = r.take();
        QCOMPARE(log.filter(QStringLiteral("MouseIn")).size(), 1);
        QCOMPARE(log.value(0), QStringLiteral("MouseIn(0)"));
        QCOMPARE(log.value(1).left(9), QStringLiteral("MouseMove"));
        QVERIFY(r.button.overTimer().isActive());
        QCOMPARE(r.f().g_IsOver, Byte(1));

        r.pointerLeaves();
        QTRY_COMPARE(r.log, QStringList{QStringLiteral("MouseOut(2)")});
        QVERIFY(!r.button.overTimer().isActive());
        QCOMPARE(r.f().g_IsOver, Byte(0));
    }

    void pressDragOutDragBackRelease() {
        Rig r;
        move(&r.host(), QPoint(5, 5));
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        r.take();
        r.pointerLeaves();
        const int before = r.repaints;
        QTRY_VERIFY(r.log.contains(QStringLiteral("MouseOut(0)")));
        // Away it is drawn released, and the flag stays set.
        QCOMPARE(r.repaints - before, 2);
        QCOMPARE(r.f().g_IsDown, Byte(1));
        QCOMPARE(r.f().g_IsOver, Byte(0));
        r.take();

        r.pointerReturns();
        move(&r.host(), QPoint(6, 6), Qt::LeftButton);
        QCOMPARE(r.take(), (QStringList{"MouseIn(0)", "MouseMove(1,0,6,6)"}));
        QCOMPARE(r.f().g_IsDown, Byte(1));
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
        QCOMPARE(r.take(), (QStringList{"Sound", "Click", "MouseUp(1,0,6,6)"}));
    }

    void pressDragOutReleaseOutsideDoesNotClick() {
        Rig r;
        move(&r.host(), QPoint(5, 5));
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        r.pointerLeaves();
        QTRY_VERIFY(r.log.contains(QStringLiteral("MouseOut(0)")));
        r.take();
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 40));
        QCOMPARE(r.take(), QStringList{QStringLiteral("MouseUp(1,0,120,40)")});
        QCOMPARE(r.f().g_IsDown, Byte(0));
    }

    void rightButtonNeitherPressesNorClicks() {
        Rig r;
        QTest::mousePress(&r.host(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(r.f().g_IsDown, Byte(0));
        const int repaints = r.repaints;
        QTest::mouseRelease(&r.host(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(r.repaints, repaints);
        QCOMPARE(r.take(), (QStringList{"MouseDown(2,0,5,5)", "MouseUp(2,0,5,5)"}));
        QCOMPARE(r.f().g_LastButton, Integer(2));
    }

    void doubleClickClicksTwice() {
        Rig r;
        const QPoint p(8, 9);
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, p);
        dblClick(&r.host(), p);
        QCOMPARE(r.f().g_IsDown, Byte(1));
        QVERIFY(r.host().hasCapture());
        QTest::mouseRelease(&r.host(), Qt::LeftButton, Qt::NoModifier, p);
        QVERIFY(!r.host().hasCapture());
        QCOMPARE(r.take(),
                 (QStringList{"MouseDown(1,0,8,9)", "Sound", "Click", "MouseUp(1,0,8,9)",
                              "MouseDown(1,0,8,9)", "Sound", "Click", "MouseUp(1,0,8,9)"}));
    }

    void holdingSpaceRepaintsOnceAndReleasingClicksOnce() {
        Rig r;
        const int before = r.repaints;
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
        for (int i = 0; i < 3; ++i)
            sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "), true);
        QCOMPARE(r.repaints - before, 1);
        QCOMPARE(r.f().g_IsDown, Byte(1));
        QCOMPARE(r.f().g_IsOver, Byte(1));
        QCOMPARE(r.take().filter(QStringLiteral("KeyDown(32,0)")).size(), 4);
        // The key repeat's own releases do not end the press.
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "), true);
        QCOMPARE(r.f().g_IsDown, Byte(1));
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "));
        QCOMPARE(r.take(), (QStringList{"Sound", "Click", "MouseUp(1,0,0,0)", "KeyUp(32,0)"}));
        QCOMPARE(r.f().g_IsDown, Byte(0));
        QCOMPARE(r.f().g_KeyIsDown, Byte(0));
    }

    void spaceWithAnotherKeyHeldStillClicks() {
        Rig r;
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_A, QStringLiteral("a"));
        const int before = r.repaints;
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
        QCOMPARE(r.repaints, before);
        QCOMPARE(r.f().g_IsDown, Byte(0));
        QCOMPARE(r.take(),
                 (QStringList{"KeyDown(65,0)", "KeyPress(97)", "KeyDown(32,0)", "KeyPress(32)"}));
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "));
        QCOMPARE(r.take(), (QStringList{"Sound", "Click", "MouseUp(1,0,0,0)", "KeyUp(32,0)"}));
    }

    void releasingSpaceForgetsTheHover() {
        Rig r;
        move(&r.host(), QPoint(5, 5));
        QCOMPARE(r.f().g_IsOver, Byte(1));
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "));
        QCOMPARE(r.f().g_IsOver, Byte(0));
        r.take();
        move(&r.host(), QPoint(6, 5));
        QCOMPARE(r.log.value(0), QStringLiteral("MouseIn(0)"));
    }

    void enterDoesNothingOfItsOwn() {
        Rig r;
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
        QCOMPARE(r.take(), (QStringList{"KeyDown(13,0)", "KeyPress(13)", "KeyUp(13,0)"}));
    }

    void keysGiveTheirVirtualKeyCodes_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("code");
        QTest::newRow("letter") << int(Qt::Key_Q) << int(Qt::NoModifier) << 0x51;
        QTest::newRow("keypad 7") << int(Qt::Key_7) << int(Qt::KeypadModifier) << 0x67;
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << 0x6B;
        QTest::newRow("keypad point") << int(Qt::Key_Period) << int(Qt::KeypadModifier) << 0x6E;
        QTest::newRow("comma") << int(Qt::Key_Comma) << int(Qt::NoModifier) << 0xBC;
        QTest::newRow("shifted semicolon") << int(Qt::Key_Colon) << int(Qt::ShiftModifier) << 0xBA;
        QTest::newRow("shifted 8") << int(Qt::Key_Asterisk) << int(Qt::ShiftModifier) << 0x38;
        QTest::newRow("bracket") << int(Qt::Key_BracketLeft) << int(Qt::NoModifier) << 0xDB;
        QTest::newRow("apostrophe") << int(Qt::Key_Apostrophe) << int(Qt::NoModifier) << 0xDE;
        QTest::newRow("num lock") << int(Qt::Key_NumLock) << int(Qt::NoModifier) << 0x90;
        QTest::newRow("print") << int(Qt::Key_Print) << int(Qt::NoModifier) << 0x2C;
        QTest::newRow("F12") << int(Qt::Key_F12) << int(Qt::NoModifier) << 0x7B;
    }

    void keysGiveTheirVirtualKeyCodes() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, code);
        Rig r;
        const auto mods = Qt::KeyboardModifiers(modifiers);
        sendKey(&r.host(), QEvent::KeyPress, key, QString(), false, mods);
        sendKey(&r.host(), QEvent::KeyRelease, key, QString(), false, mods);
        const QStringList log = r.take();
        QCOMPARE(log.filter(QStringLiteral("KeyDown(")).value(0).section(u',', 0, 0),
                 QStringLiteral("KeyDown(%1").arg(code));
        QCOMPARE(log.filter(QStringLiteral("KeyUp(")).value(0).section(u',', 0, 0),
                 QStringLiteral("KeyUp(%1").arg(code));
    }

    void handlerChangesCarryThrough() {
        Rig r;
        // MouseIn's handler changes Shift; the MouseMove of the same move sees the change.
        connect(&r.button, &Button_XP::MouseIn, &r.button, [](Integer& s) { s = 4; });
        move(&r.host(), QPoint(5, 5));
        QCOMPARE(r.take(), (QStringList{"MouseIn(0)", "MouseMove(0,4,5,5)"}));
        // A MouseUp handler changing Shift during a space release changes KeyUp's Shift.
        connect(&r.button, &Button_XP::MouseUp, &r.button,
                [](Integer&, Integer& s, Single&, Single&) { s = 2; });
        sendKey(&r.host(), QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
        r.take();
        sendKey(&r.host(), QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "));
        QCOMPARE(r.log.last(), QStringLiteral("KeyUp(32,2)"));
    }

    void focusShowsAndLosingItReleases() {
        Rig r;
        QApplication::setActiveWindow(&r.window);
        r.host().setFocus();
        QTRY_COMPARE(r.f().g_HasFocus, Byte(1));
        QTest::mousePress(&r.host(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(r.f().g_IsDown, Byte(1));
        r.host().clearFocus();
        QCOMPARE(r.f().g_HasFocus, Byte(0));
        QCOMPARE(r.f().g_IsDown, Byte(0));
    }

    void hoverPictureIsShownWhileOver() {
        Rig r;
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        const auto normal = std::make_shared<StdPicture>(StdPicture::Bitmap, image);
        const auto hover = std::make_shared<StdPicture>(StdPicture::Bitmap, image);
        r.button.setPicture(normal);
        r.button.setPictureHover(hover);
        move(&r.host(), QPoint(5, 5));
        QCOMPARE(r.button.Picture(), hover);
        r.pointerLeaves();
        QTRY_COMPARE(r.button.Picture(), normal);
    }

    void accessKeyFromTheCaption_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("key");
        QTest::newRow("&Open") << "&Open"
                               << "o";
        QTest::newRow("Save && &Exit") << "Save && &Exit"
                                       << "e";
        QTest::newRow("A&&B") << "A&&B"
                              << "";
        QTest::newRow("Go&") << "Go&"
                             << "";
        QTest::newRow("&") << "&"
                           << "";
        QTest::newRow("&&&x") << "&&&x"
                              << "x";
        QTest::newRow("only two ampersands looked at") << "a&&&&b"
                                                       << "";
        QTest::newRow("upper case") << "E&XIT"
                                    << "x";
        QTest::newRow("none") << "Open"
                              << "";
    }
    void accessKeyFromTheCaption() {
        QFETCH(QString, caption);
        QFETCH(QString, key);
        Rig r;
        r.button.setCaption(caption);
        QCOMPARE(r.host().AccessKeys(), key);
    }

    void accessKeyClicksWithoutSoundOrFace() {
        Rig r;
        r.button.setCaption(QStringLiteral("&Open"));
        r.button.setURL(QStringLiteral("http://x.y/"));
        QApplication::setActiveWindow(&r.window);
        QVERIFY(QTest::qWaitForWindowActive(&r.window));
        const int repaints = r.repaints;
        QTest::keyClick(&r.window, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(r.log.filter(QStringLiteral("Click")).size(), 1);
        QVERIFY(r.log.contains(QStringLiteral("link:http://x.y/")));
        QVERIFY(!r.log.contains(QStringLiteral("Sound")));
        QCOMPARE(r.repaints, repaints);

        r.take();
        r.button.setEnabled(false);
        QTest::keyClick(&r.window, Qt::Key_O, Qt::AltModifier);
        QVERIFY(!r.log.contains(QStringLiteral("Click")));
    }
};

} // namespace velmora

QTEST_MAIN(velmora::ButtonInputTest)
#include "ButtonInputTest.moc"
