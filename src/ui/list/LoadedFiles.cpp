#include "ui/list/LoadedFiles.h"

#include "filelist/Loader.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListPanel.h"
#include "ui/list/FileListView.h"
#include "ui/list/FileLoader.h"
#include "ui/widgets/UiTexts.h"
#include "ui/widgets/WindowDialogs.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

qint64 MonotonicMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

LoadedFiles::LoadedFiles(FileList& files, LoadFlags& load, NewNamePreview::Sources sources,
                         const WindowDialogs& dialogs, QObject* parent)
    : QObject(parent), files_(files), load_(load), dialogs_(dialogs), listFree_(sources.ListFree) {
  model_ = new FileListModel(files_, this);
  loader_ = new FileLoader(files_, load, this);
  connect(loader_, &FileLoader::RowsArrived, this,
          [this](const std::vector<const FileEntry*>& entries) {
            model_->AppendRows(entries);
            UpdateButtons();
          });
  connect(loader_, &FileLoader::Finished, this, [this] { OnLoadFinished(); });
  newNames_ = new NewNamePreview(files_, std::move(sources), &MonotonicMilliseconds, this);
  connect(newNames_, &NewNamePreview::PlanChanged, this, [this] { OnNewNamesPlanned(); });
  connect(newNames_, &NewNamePreview::ProgressChanged, this, [this] {
    if (ListFree()) UpdateStatusLine(false, false);
  });
  // A run takes the list when the rows go; the list is the window's again when they come back.
  connect(model_, &FileListModel::Detaching, newNames_,
          [this] { newNames_->ReleaseList(NewNamePreview::Change::Replace); });
  connect(model_, &FileListModel::Reloaded, newNames_, &NewNamePreview::ListChanged);
  connect(loader_, &FileLoader::Finished, newNames_, &NewNamePreview::ListChanged);
}

LoadedFiles::~LoadedFiles() {
  // The worker must not append to the list after the window is gone.
  loader_->StopAndWait();
}

FileListPanel* LoadedFiles::BuildPanel() {
  panel_ = new FileListPanel(*model_);
  FileListView* view = panel_->View();
  // The old panel went with its build; its columns stay as the user left them.
  QHeaderView* header = view->horizontalHeader();
  if (!columns_.isEmpty()) header->restoreState(columns_);
  ShowNewFolderColumn();
  const auto keep = [this, header] { columns_ = header->saveState(); };
  connect(header, &QHeaderView::sectionResized, this, keep);
  connect(header, &QHeaderView::sectionMoved, this, keep);
  connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (LoadBusy()) return;
    UpdateButtons();
    UpdateStatusLine(false, true);
  });
  connect(panel_->OnlyProblemsButton(), &QToolButton::toggled, this, [this](bool on) {
    model_->SetOnlyProblems(on);
    UpdateButtons();
    if (ListFree()) UpdateStatusLine(false, true);
    ShowEntriesOnScreen();
  });
  connect(view, &FileListView::RowsOnScreenChanged, this, [this] { ShowEntriesOnScreen(); });
  connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    const FileEntry* entry = model_->EntryAt(index.row());
    if (entry != nullptr && !dialogs_.ShowFile(entry->Path()))
      dialogs_.TellTitled(MessageIcon::kWarning, kTextWarning, LanguageText(kTextNoFileManager));
  });
  connect(panel_->RemoveButton(), &QPushButton::clicked, this, [this] {
    emit CommandStarting();
    RemoveSelected();
  });
  connect(panel_->ClearButton(), &QPushButton::clicked, this, [this] {
    emit CommandStarting();
    Clear();
  });
  SetLocked(locked_);
  return panel_;
}

FileListView* LoadedFiles::View() const {
  return panel_ ? panel_->View() : nullptr;
}

QToolButton* LoadedFiles::OnlyProblemsButton() const {
  return panel_ ? panel_->OnlyProblemsButton() : nullptr;
}

QPushButton* LoadedFiles::RemoveButton() const {
  return panel_ ? panel_->RemoveButton() : nullptr;
}

QPushButton* LoadedFiles::ClearButton() const {
  return panel_ ? panel_->ClearButton() : nullptr;
}

bool LoadedFiles::ListFree() const {
  return listFree_ ? listFree_() : !LoadBusy();
}

// ---- Loading ----

bool LoadedFiles::LoadBusy() const {
  return loader_->Busy() || load_.LoadBusy.load(std::memory_order_relaxed) != 0;
}

bool LoadedFiles::Load(const QString& paths, const Preset& settings) {
  if (LoadBusy()) return false;
  newNames_->ReleaseList(NewNamePreview::Change::Append);
  if (!loader_->Start(paths, settings)) return false;
  UpdateStatusLine(false, false, LanguageText(kTextLoadingFiles));
  return true;
}

void LoadedFiles::StopLoading() {
  loader_->Stop();
}

void LoadedFiles::StopLoadingAndWait() {
  loader_->StopAndWait();
}

void LoadedFiles::WaitForLoad() {
  // The rows reach the list through the event loop, so it keeps running meanwhile.
  while (LoadBusy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void LoadedFiles::OnLoadFinished() {
  SelectFirstRowWhenNone();
  UpdateButtons();
  UpdateStatusLine(true, true);
  emit LoadFinished();
}

// ---- The new names ----

void LoadedFiles::OnNewNamesPlanned() {
  const std::shared_ptr<const NewNamePlan> plan = newNames_->Plan();
  // The same plan updated for a few checksums leaves the rows and the selection as they were.
  const bool samePlan = plan && plan.get() == model_->Plan();
  model_->SetPlan(plan);
  ShowNewFolderColumn();
  if (ListFree()) UpdateStatusLine(false, !samePlan);
  ShowEntriesOnScreen();
  FileListView* view = View();
  if (!columnsSettled_ && plan && model_->rowCount() > 0 && view != nullptr) {
    view->FitColumns();
    columnsSettled_ = true;
  }
}

void LoadedFiles::ShowNewFolderColumn() {
  FileListView* view = View();
  if (view == nullptr) return;
  const NewNamePlan* plan = model_->Plan();
  view->setColumnHidden(FileListModel::kNewFolderColumn,
                        plan == nullptr || plan->Settings().TargetDirActive == 0);
}

QByteArray LoadedFiles::ColumnsState() const {
  return panel_ ? panel_->View()->horizontalHeader()->saveState() : columns_;
}

void LoadedFiles::RestoreColumns(const QByteArray& state) {
  if (state.isEmpty()) return;
  columns_ = state;
  FileListView* view = View();
  // A state of another column set (an older version) is refused by the header.
  if (view != nullptr && !view->horizontalHeader()->restoreState(state)) return;
  columnsSettled_ = true;
  ShowNewFolderColumn();
}

void LoadedFiles::ShowEntriesOnScreen() {
  FileListView* view = View();
  if (view == nullptr) return;
  const auto [first, last] = view->RowsOnScreen();
  std::vector<const FileEntry*> entries;
  for (int row = first; row <= last; ++row)
    if (const FileEntry* entry = model_->EntryAt(row)) entries.push_back(entry);
  newNames_->ShowEntries(entries);
}

// ---- Commands ----

void LoadedFiles::SetLocked(bool locked) {
  locked_ = locked;
  if (FileListView* view = View()) view->SetLocked(locked);
  UpdateButtons();
}

void LoadedFiles::UpdateButtons() {
  if (!panel_) return;
  panel_->RemoveButton()->setEnabled(!locked_ && panel_->View()->HasSelection());
  panel_->ClearButton()->setEnabled(!locked_ && model_->RowCount() > 0);
}

void LoadedFiles::SelectFirstRowWhenNone() {
  FileListView* view = View();
  if (view == nullptr || view->HasSelection() || model_->RowCount() == 0) return;
  view->selectionModel()->setCurrentIndex(
      model_->index(0, FileListModel::kNameColumn),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LoadedFiles::ForEachSelectedRow(const std::function<void(int row)>& visit) const {
  FileListView* view = View();
  if (view == nullptr || view->selectionModel() == nullptr) return;
  const QItemSelection selection = view->selectionModel()->selection();
  if (selection.size() == 1) {
    // Ctrl+A and one dragged range: no row can come twice.
    for (int row = selection.first().top(); row <= selection.first().bottom(); ++row) visit(row);
    return;
  }
  // Ranges may overlap; every row counts once.
  std::vector<bool> seen(static_cast<size_t>(model_->RowCount()), false);
  for (const QItemSelectionRange& range : selection) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      if (row < 0 || static_cast<size_t>(row) >= seen.size() || seen[static_cast<size_t>(row)])
        continue;
      seen[static_cast<size_t>(row)] = true;
      visit(row);
    }
  }
}

void LoadedFiles::RemoveSelected() {
  if (locked_ || LoadBusy()) return;
  qsizetype selected = 0;
  ForEachSelectedRow([&](int) { ++selected; });
  if (selected == 0) return;
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  if (selected == model_->RowCount()) {
    // Every entry (Ctrl+A): one sweep instead of a look-up per entry.
    files_.Clear();
  } else {
    // Marked by id rather than kept in a hash table: at ten million rows the table alone took
    // seconds.
    std::vector<bool> marked;
    ForEachSelectedRow([&](int row) {
      const FileEntry* entry = model_->EntryAt(row);
      if (entry == nullptr || entry->Id < 0) return;
      const auto id = static_cast<size_t>(entry->Id);
      if (id >= marked.size()) marked.resize(std::max(id + 1, marked.size() * 2));
      marked[id] = true;
    });
    files_.RemoveMarked(marked);
  }
  model_->Reload();
  UpdateButtons();
  UpdateStatusLine(true, true);
}

void LoadedFiles::Clear() {
  if (locked_ || LoadBusy() || files_.IsEmpty()) return;
  if (!dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskClearList))) return;
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  files_.Clear();
  model_->Reload();
  UpdateButtons();
  UpdateStatusLine(true, true);
}

void LoadedFiles::SelectAll() {
  FileListView* view = View();
  if (!locked_ && view != nullptr && view->hasFocus()) view->selectAll();
}

// ---- Runs ----

const FileEntry* LoadedFiles::ChosenEntry() const {
  FileListView* view = View();
  if (view == nullptr) return nullptr;
  const QModelIndex current = view->currentIndex();
  const std::vector<int> rows = view->SelectedRows();
  int row = rows.empty() ? -1 : rows.front();
  if (current.isValid() && view->selectionModel()->isRowSelected(current.row()))
    row = current.row();
  return model_->EntryAt(row);
}

void LoadedFiles::HandOver() {
  model_->Detach();
}

void LoadedFiles::TakeBack() {
  model_->Reload();
  SelectFirstRowWhenNone();
  UpdateButtons();
  UpdateStatusLine(true, true);
}

void LoadedFiles::ReadAgain(const Preset& settings) {
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  files_ = ReadListAgain(files_, settings);
  model_->Reload();
  UpdateButtons();
  UpdateStatusLine(true, true);
}

void LoadedFiles::SetViewEnabled(bool enabled) {
  if (FileListView* view = View()) view->setEnabled(enabled);
}

void LoadedFiles::FocusView() {
  if (FileListView* view = View()) view->setFocus(Qt::OtherFocusReason);
}

// ---- The status line ----

void LoadedFiles::UpdateStatusLine(bool recountAll, bool recountSelected, const QString& text) {
  // Counted from the rows: they name exactly the entries of the list, and reading them needs
  // no look-up by id.
  if (recountAll) figures_.CountText = FigureText(model_->RowCount(), model_->TotalSize());
  if (recountSelected) {
    qsizetype count = 0;
    int64_t total = 0;
    ForEachSelectedRow([&](int row) {
      if (const FileEntry* entry = model_->EntryAt(row)) {
        ++count;
        total += entry->Size;
      }
    });
    figures_.SelectedText = FigureText(count, total);
  }
  statusText_ = !text.isEmpty()
                    ? text
                    : LanguageText(kTextListFiles) + QStringLiteral(": ") + figures_.CountText +
                          QStringLiteral("   ") + LanguageText(kTextListSelected) +
                          QStringLiteral(": ") + figures_.SelectedText;
  if (text.isEmpty()) {
    const QString names = newNames_->StatusText();
    if (!names.isEmpty()) statusText_ += QStringLiteral("   ") + names;
  }
  if (panel_) panel_->SetStatusText(statusText_);
}
