#include "viewer/x11_pointer.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdlib>

#ifdef KEBU_HAVE_XCB
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QtGui/qguiapplication_platform.h>
#endif

namespace kebu::viewer {

std::optional<bool> PointerButtonDown() {
#ifdef KEBU_HAVE_XCB
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  xcb_connection_t* connection = x11->connection();
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_query_pointer_reply_t* reply =
      xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr);
  if (reply == nullptr) return std::nullopt;
  constexpr uint16_t kButtons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3;
  const bool down = (reply->mask & kButtons) != 0;
  std::free(reply);
  return down;
#else
  return std::nullopt;
#endif
}

struct GlobalClicks::Connection {
#ifdef KEBU_HAVE_XCB
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
  uint8_t opcode = 0;  // XInput's
  QSocketNotifier* notifier = nullptr;

  ~Connection() {
    delete notifier;
    if (connection != nullptr) xcb_disconnect(connection);
  }

  void Select(uint32_t events) {
    struct {
      xcb_input_event_mask_t head;
      uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, events};
    xcb_input_xi_select_events(connection, root, 1, &mask.head);
    xcb_flush(connection);
  }
#endif
};

GlobalClicks::GlobalClicks(QObject* parent) : QObject(parent) {
#ifdef KEBU_HAVE_XCB
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return;
  auto x = std::make_unique<Connection>();
  int screenNumber = 0;
  // The window's own connection is Qt's; raw events come on one of ours.
  x->connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(x->connection) != 0) return;
  const xcb_query_extension_reply_t* input = xcb_get_extension_data(x->connection, &xcb_input_id);
  if (input == nullptr || !input->present) return;
  // 2.2: raw events come also while another program holds a grab.
  xcb_input_xi_query_version_reply_t* version = xcb_input_xi_query_version_reply(
      x->connection, xcb_input_xi_query_version(x->connection, 2, 2), nullptr);
  const bool recent = version != nullptr && version->major_version >= 2;
  std::free(version);
  if (!recent) return;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x->connection));
  for (int i = 0; i < screenNumber && screens.rem > 1; ++i) xcb_screen_next(&screens);
  x->root = screens.data->root;
  x->opcode = input->major_opcode;
  x->notifier = new QSocketNotifier(xcb_get_file_descriptor(x->connection), QSocketNotifier::Read);
  connect(x->notifier, &QSocketNotifier::activated, this, &GlobalClicks::Read);
  x_ = std::move(x);
#endif
}

GlobalClicks::~GlobalClicks() = default;

bool GlobalClicks::IsAvailable() const { return x_ != nullptr; }

void GlobalClicks::SetWatching(bool watching) {
#ifdef KEBU_HAVE_XCB
  if (x_ != nullptr) x_->Select(watching ? XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS : 0);
#else
  (void)watching;
#endif
}

void GlobalClicks::Read() {
#ifdef KEBU_HAVE_XCB
  bool pressed = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(x_->connection)) {
    if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
      const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
      pressed |= raw->extension == x_->opcode && raw->event_type == XCB_INPUT_RAW_BUTTON_PRESS &&
                 raw->detail >= 1 && raw->detail <= 3;
    }
    std::free(event);
  }
  if (xcb_connection_has_error(x_->connection) != 0) x_->notifier->setEnabled(false);
  if (pressed) emit Pressed();
#endif
}

}  // namespace kebu::viewer
