#include "viewer/viewer_app.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <climits>
#include <cstring>

#include "viewer/companion.h"
#include "viewer/single_instance.h"
#include "viewer/viewer_dlg.h"

namespace kebu::viewer {

namespace {

// Qt's options that take the next argument as their value.
constexpr const char* kQtOptionsWithValue[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle", "-session", "-display", "-geometry", "-title", "-name",
    "-style", "-stylesheet", "-qmljsdebugger"};

// -platform and --platform alike, as Qt takes them.
bool IsQtOptionWithValue(const char* argument) {
  if (std::strncmp(argument, "--", 2) == 0) ++argument;
  for (const char* option : kQtOptionsWithValue) {
    if (std::strcmp(argument, option) == 0) return true;
  }
  return false;
}

QByteArray CurrentFolder() {
  QByteArray folder(PATH_MAX, '\0');
  if (::getcwd(folder.data(), static_cast<size_t>(folder.size())) == nullptr) folder.clear();
  folder.truncate(static_cast<qsizetype>(qstrlen(folder.constData())));
  return folder;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  const QByteArray folder = CurrentFolder();
  CommandLine line;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const QByteArray argument(argv[i]);
    if (options && argument == "--") {
      options = false;
    } else if (options && argument == "--lookup") {
      if (i + 1 == argc) line.error = QStringLiteral("--lookup needs the text to look up");
      else line.lookup = QString::fromLocal8Bit(argv[++i]);
    } else if (options && argument.startsWith("--lookup=")) {
      line.lookup = QString::fromLocal8Bit(argument.mid(9));
    } else if (options && argument == "--lookup-selection") {
      line.lookupSelection = true;
    } else if (options && (argument == "--help" || argument == "-h")) {
      line.help = true;
    } else if (options && argument == "--version") {
      line.version = true;
    } else if (options && IsQtOptionWithValue(argv[i])) {
      ++i;  // Qt's, and its value
    } else if (options && argument.startsWith("--")) {
      line.error = QStringLiteral("unknown option %1").arg(QString::fromLocal8Bit(argument));
    } else if (options && argument.startsWith('-') && argument.size() > 1) {
      // Qt's, without a value (-reverse, -style=fusion)
    } else if (!argument.isEmpty()) {
      line.files.push_back(argument.startsWith('/') || folder.isEmpty() ? argument
                                                                         : folder + '/' + argument);
    }
  }
  if (line.lookup && line.lookupSelection) {
    line.error = QStringLiteral("--lookup and --lookup-selection exclude each other");
  }
  return line;
}

QString Usage() {
  return QStringLiteral(
      "usage: kebumini [--lookup TEXT | --lookup-selection] [FILE.DIC...]\n"
      "       kebumini --help | --version\n"
      "\n"
      "Opens the dictionaries named (without any, those of the last session) in\n"
      "the window. While a window runs, a new start hands it its files (they are\n"
      "added) and its lookup, and ends.\n"
      "\n"
      "  --lookup TEXT        show TEXT's entries in the popup of the running\n"
      "                       window (one is started if none runs)\n"
      "  --lookup-selection   the same with the selected text (X11's primary\n"
      "                       selection, else the clipboard)\n"
      "  --help, --version    this text; the version\n"
      "  --                   every argument after it is a file\n"
      "\n"
      "Qt's options (-platform NAME, ...) are accepted too.\n"
      "Exit status: 0 done, 1 the running window cannot be reached, 2 wrong usage.\n");
}

std::unique_ptr<QTranslator> InstallTranslation(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  // The translations are resources of the viewer library (qt_add_lrelease).
  if (!translator->load(locale, QStringLiteral("kebumini"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  // Qt's own texts (the file dialog's, the message boxes' buttons) in the
  // same language, from the system's Qt translations where they are
  // installed; a child of ours, so it goes with it.
  auto* qt = new QTranslator(translator.get());
  if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  }
  return translator;
}

CViewerApp::CViewerApp() = default;

CViewerApp::~CViewerApp() = default;

bool CViewerApp::Start(const CommandLine& line, const QString& socketPath, QString* error) {
  window_ = std::make_unique<CViewerDlg>(nullptr, line.files);
  bool listening = true;
  if (!socketPath.isEmpty()) {
    server_ = std::make_unique<InstanceServer>();
    listening = server_->Listen(socketPath, error);
    QObject::connect(server_.get(), &InstanceServer::Requested, window_.get(),
                     [this](const CommandLine& request) { Serve(request); });
  }
  if (line.lookup || line.lookupSelection) {
    window_->showMinimized();
  } else {
    window_->show();
  }
  LookUp(line);  // the files were opened with the window
  return listening;
}

void CViewerApp::Run() {
  if (window_) window_->exec();
}

bool CViewerApp::LookUp(const CommandLine& line) {
  Companion& companion = window_->GetCompanion();
  if (line.lookup) {
    companion.LookUp(*line.lookup);
  } else if (line.lookupSelection) {
    companion.LookUpSelection();
  }
  return line.lookup || line.lookupSelection;
}

void CViewerApp::Serve(const CommandLine& request) {
  std::vector<QByteArray> added;
  for (const QByteArray& file : request.files) {
    if (!window_->Dictionaries().IsDictionaryFile(file)) added.push_back(file);
  }
  if (!added.empty()) window_->AddDictionaries(added);
  if (!LookUp(request)) {
    // A start without a lookup brings the window up.
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
  }
}

}  // namespace kebu::viewer
