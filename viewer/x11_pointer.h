// The pointer beyond the window's own surfaces, where X11 tells it: whether
// a button is down, and a button pressed anywhere on the screen (XInput 2's
// raw events on the root window, on a connection of their own). Elsewhere
// (Wayland, offscreen, a build without libxcb) nothing is known.
#pragma once

#include <QObject>
#include <optional>

namespace kebu::viewer {

// Whether a mouse button is down, wherever the pointer is; nothing where
// the platform does not say.
std::optional<bool> PointerButtonDown();

// Pressed() for each press of buttons 1 to 3 anywhere on the screen while
// watching.
class GlobalClicks : public QObject {
  Q_OBJECT

 public:
  explicit GlobalClicks(QObject* parent = nullptr);
  ~GlobalClicks() override;

  // False where presses cannot be seen.
  bool IsAvailable() const;
  void SetWatching(bool watching);

 signals:
  void Pressed();

 private:
  void Read();

  struct Connection;
  std::unique_ptr<Connection> x_;
};

}  // namespace kebu::viewer
