#include "fileops/ContentReading.h"

#include "fileops/ContentReader.h"

#include <array>
#include <cerrno>

void ContentFindings::Found(QStringView code, QString value) {
  const int id = PlaceholderId(code);
  if (!wanted_.Has(id)) return;
  for (auto& [known, text] : values_) {
    if (known == id) {
      text = std::move(value);
      return;
    }
  }
  values_.emplace_back(id, std::move(value));
}

const ContentReader* ReaderOf(int placeholderId) {
  static const std::array<const ContentReader*, PlaceholderSet::kCapacity> byId = [] {
    std::array<const ContentReader*, PlaceholderSet::kCapacity> readers{};
    for (const ContentReader* reader : ContentReaders()) {
      for (const QStringView code : reader->Serves()) {
        const int id = PlaceholderId(code);
        // The first reader of a code serves it; the table test refuses a second one.
        if (id >= 0 && readers[static_cast<size_t>(id)] == nullptr)
          readers[static_cast<size_t>(id)] = reader;
      }
    }
    return readers;
  }();
  return placeholderId >= 0 && placeholderId < PlaceholderSet::kCapacity
             ? byId[static_cast<size_t>(placeholderId)]
             : nullptr;
}

ContentRead ReadContent(const QString& path, const PlaceholderSet& wanted,
                        const std::atomic<int32_t>* stop) {
  return ReadContent(path, wanted, stop, ContentReaders());
}

ContentRead ReadContent(const QString& path, const PlaceholderSet& wanted,
                        const std::atomic<int32_t>* stop,
                        std::span<const ContentReader* const> readers) {
  ContentRead result;
  PlaceholderSet served;
  // Each reader once, for every placeholder of its own asked for; in the order of the readers,
  // so that the reading is the same whichever placeholder came first.
  for (const ContentReader* reader : readers) {
    PlaceholderSet own;
    for (const QStringView code : reader->Serves()) own.Add(PlaceholderId(code));
    own = own.Within(wanted).Without(served);
    if (!own.Any()) continue;
    served = served.Or(own);
    ContentFindings found(own);
    const int error = reader->Read(path, found, stop);
    result.AccessTimeKept = result.AccessTimeKept && found.AccessTimeKept();
    if (error == ECANCELED || (error != 0 && reader->UnreadableFailsEntry())) {
      result.Ok = false;
      result.Error = error;
      result.Values.clear();
      return result;
    }
    // What the reader did not find has no value, as has everything of a file it could not read.
    own.ForEach([&](int id) { result.Values.insert(id, QString()); });
    if (error == 0) {
      for (const auto& [id, value] : found.Values()) result.Values.insert(id, value);
    }
  }
  // A content placeholder that no reader serves has no value either.
  wanted.Without(served).ForEach([&](int id) {
    if (PlaceholderById(id).Family == PlaceholderFamily::Content)
      result.Values.insert(id, QString());
  });
  return result;
}

void StoreContent(FileEntry& entry, const QHash<int, QString>& values) {
  for (auto it = values.constBegin(); it != values.constEnd(); ++it)
    SetContentValue(entry, it.key(), it.value());
}

QString CleanContentText(const QString& text) {
  QString out = text.trimmed();
  for (QChar& c : out) {
    if (c == QLatin1Char('/') || c.unicode() < 32 || c.unicode() == 127) c = QLatin1Char('_');
  }
  return out;
}
