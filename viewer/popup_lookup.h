// The lookup behind the popup: a selection to the entries it stands for.
// FindWord (forms/) finds the headwords (the selection trimmed, its longest
// leading headword, else its dictionary forms: running: run), and a
// whole-word lookup of each in every dictionary gives the entries, decoded
// for the popup.
//
// Threads: PopupLookup runs the lookups on a worker thread of its own, over
// lookups of its own on the dictionaries' shared DicSources (never the
// window's DicReader), with the language tools loaded there on first use. A
// newer request supersedes an older one: the older is abandoned at the next
// dictionary and its result never arrives. The window's thread only hands
// over the text and takes the result (a queued call), so it never waits.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "dictionary/dic_source.h"
#include "forms/language_tools.h"

namespace kebu::viewer {

// The entries of one dictionary at most, in the order of the forms found
// (likelier first) and, for each, in the dictionary's order.
inline constexpr size_t kPopupEntriesPerDictionary = 10;

// A dictionary the popup looks in.
struct PopupSource {
  std::shared_ptr<const DicSource> source;
  QString name;
};

struct PopupEntry {
  QString headword;  // as shown (the version-6 TAB rule applied)
  QString pronunciation, translation, example;
  bool operator==(const PopupEntry&) const = default;
};

// The entries of one dictionary that has any.
struct PopupBlock {
  QString dictionary;
  std::vector<PopupEntry> entries;
};

struct PopupResult {
  quint64 id = 0;
  QString selection;    // trimmed
  QString description;  // "running → run"; empty when found as selected, or nothing found
  // What "Open in window" searches: the first headword found, else the selection.
  QString word;
  std::vector<PopupBlock> blocks;  // in the order of the sources
  std::vector<forms::MissingTool> missing;
  size_t searched = 0;  // the dictionaries looked in
  bool outOfMemory = false;
};

class PopupLookup : public QObject {
  Q_OBJECT

 public:
  explicit PopupLookup(forms::LanguageToolPaths paths = {}, QObject* parent = nullptr);
  // Stops the worker once it has finished the step it is on.
  ~PopupLookup() override;

  // Looks `text` up in `sources` on the worker (started on the first
  // request); `forms` false: as selected only. Returns the request's id.
  quint64 Request(const QString& text, std::vector<PopupSource> sources, bool forms);

 signals:
  // The result of the newest request, on the window's thread.
  void Done(const PopupResult& result);

 private:
  struct Job {
    quint64 id = 0;
    QString text;
    std::vector<PopupSource> sources;
    bool forms = true;
  };
  void Work();

  forms::LanguageTools tools_;
  struct Finder;
  std::unique_ptr<Finder> finder_;  // the worker's
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> pending_;  // under mutex_
  bool stop_ = false;           // under mutex_
  std::atomic<quint64> latest_{0};
  std::thread worker_;
};

}  // namespace kebu::viewer
