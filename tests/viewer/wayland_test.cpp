// The window under Wayland (weston's headless backend, started by the test):
// it starts, and a second kebumini's --lookup shows the popup there. A
// program in the background is not given the selection on Wayland, so
// --lookup-selection says that it has none.
#include "tests/viewer/companion_support.h"

namespace kebu::viewer::testing {
namespace {

QString g_noWayland;  // why the test is skipped

class WaylandTest : public CompanionTestBase {
 protected:
  void SetUp() override {
    if (!g_noWayland.isEmpty()) GTEST_SKIP() << g_noWayland.toStdString();
    CompanionTestBase::SetUp();
  }
};

TEST_F(WaylandTest, TheWindowStartsAndASecondStartsLookupShowsThePopup) {
  ASSERT_EQ(QGuiApplication::platformName(), "wayland");
  InstanceLock lock;
  ASSERT_EQ(lock.Acquire(Runtime()), InstanceLock::State::kFirst);
  Start({.files = {english_, japanese_}}, true);
  EXPECT_EQ(Kebumini({"--lookup", "running"}), 0);
  ASSERT_TRUE(PopupShows("run"));
  EXPECT_TRUE(QTest::qWaitForWindowExposed(Popup()));
  EXPECT_EQ(PopupText(), "english.dic\nrun  [ラン]\n走る\nHe runs every day.\njapanese.dic\nrun\na run; 走ること");
  EXPECT_EQ(Kebumini({"--lookup-selection"}), 0);
  EXPECT_TRUE(PopupShows(""));
  EXPECT_EQ(Popup()->DescriptionLabel()->text(),
            "No text is selected, or the desktop does not let kebumini read it");
}

}  // namespace
}  // namespace kebu::viewer::testing

// A weston of the test's own in a runtime folder of its own; without weston
// or Qt's Wayland plugin the test is skipped, saying so.
int main(int argc, char** argv) {
  using kebu::viewer::testing::g_noWayland;
  ::testing::InitGoogleTest(&argc, argv);
  kebu::testing::TempDir runtime;
  const std::string socket = (runtime.path() / "wayland-kebu").string();
  if (::testing::GTEST_FLAG(list_tests)) {
    g_noWayland = "listing";
  } else if (!kebu::viewer::testing::Installed("weston")) {
    g_noWayland = "weston is not installed (package weston)";
  } else {
    qputenv("XDG_RUNTIME_DIR", runtime.path().c_str());
    kebu::viewer::testing::SpawnTied({"weston", "--backend=headless-backend.so", "--socket=wayland-kebu",
                                      "--idle-time=0", "--no-config", "--log=" + socket + ".log"});
    for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) ::usleep(20000);
    if (!std::filesystem::exists(socket)) g_noWayland = "weston did not start";
  }
  qputenv("WAYLAND_DISPLAY", socket.c_str());
  // Qt 6.4's Wayland input method fails without a seat, which the headless
  // backend lacks; the window types nothing here.
  qputenv("QT_IM_MODULE", "none");
  qputenv("QT_QPA_PLATFORM", g_noWayland.isEmpty() ? "wayland;offscreen" : "offscreen");
  QApplication application(argc, argv);
  if (g_noWayland.isEmpty() && QGuiApplication::platformName() != "wayland") {
    g_noWayland = "Qt's Wayland plugin is not installed (package qt6-wayland)";
  }
  return RUN_ALL_TESTS();
}
