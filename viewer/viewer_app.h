// The application object: runs the main window until it closes.
#pragma once

namespace kebu::viewer {

class CViewerApp {
 public:
  // Runs the main window modally; returns false once it has ended, so the
  // program ends.
  bool InitInstance();
};

}  // namespace kebu::viewer
