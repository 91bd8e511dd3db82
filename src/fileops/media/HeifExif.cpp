#include "fileops/media/HeifExif.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace {

// Limits well above what cameras and phones write, so that a hostile file costs little.
constexpr int64_t kMaxMetaBox = 1 << 20;
constexpr int64_t kMaxItemBytes = 1 << 20;
constexpr int kMaxTopLevelBoxes = 1024;
constexpr uint32_t kMaxItems = 65536;
constexpr uint32_t kMaxExtents = 1024;
constexpr size_t kMaxTypeBox = 4096;

// The brands of HEIF images and image sequences, HEVC and AV1 coded alike.
constexpr std::array<std::string_view, 9> kBrands = {"heic", "heix", "hevc", "heim", "heis",
                                                     "mif1", "msf1", "avif", "avis"};

uint32_t Big32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint64_t Big64(const unsigned char* p) {
  return (uint64_t{Big32(p)} << 32) | Big32(p + 4);
}

// Reading a box's content in memory: every read checks what is left and fails at the end.
class Cursor {
 public:
  explicit Cursor(std::span<const unsigned char> bytes) : bytes_(bytes) {}

  size_t Left() const { return bytes_.size() - at_; }
  bool Skip(size_t count) {
    if (count > Left()) return false;
    at_ += count;
    return true;
  }
  // An unsigned number of `size` bytes (0, 1, 2, 4 or 8), big-endian; 0 bytes read as 0.
  bool Number(size_t size, uint64_t& value) {
    if (size > Left() || (size != 0 && size != 1 && size != 2 && size != 4 && size != 8))
      return false;
    value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes_[at_ + i];
    at_ += size;
    return true;
  }
  template <typename T>
  bool Read(T& value) {
    uint64_t wide = 0;
    if (!Number(sizeof(T), wide)) return false;
    value = static_cast<T>(wide);
    return true;
  }
  bool FourCc(std::string_view& type) {
    if (Left() < 4) return false;
    type = std::string_view(reinterpret_cast<const char*>(bytes_.data() + at_), 4);
    at_ += 4;
    return true;
  }
  // A text ended by a zero byte; a missing end is damage.
  bool Text(std::string& text) {
    const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(at_);
    const auto end = std::find(begin, bytes_.end(), 0);
    if (end == bytes_.end()) return false;
    text.assign(begin, end);
    at_ += static_cast<size_t>(end - begin) + 1;
    return true;
  }
  // A full box's version; its flags are skipped.
  bool Version(uint8_t& version) { return Read(version) && Skip(3); }

 private:
  std::span<const unsigned char> bytes_;
  size_t at_ = 0;
};

struct Box {
  std::string_view Type;
  std::span<const unsigned char> Body;
};

// The boxes one after another in `bytes` (a box of size 0 runs to the end). A box whose size
// does not fit ends the list: what came before it stays usable. Every box is at least a header
// long, so the walk moves forward and ends.
std::vector<Box> Children(std::span<const unsigned char> bytes) {
  std::vector<Box> boxes;
  size_t at = 0;
  while (bytes.size() - at >= 8) {
    const unsigned char* head = bytes.data() + at;
    uint64_t size = Big32(head);
    size_t header = 8;
    if (size == 1) {
      if (bytes.size() - at < 16) break;
      size = Big64(head + 8);
      header = 16;
    } else if (size == 0) {
      size = bytes.size() - at;
    }
    if (size < header || size > bytes.size() - at) break;
    boxes.push_back({std::string_view(reinterpret_cast<const char*>(head) + 4, 4),
                     bytes.subspan(at + header, static_cast<size_t>(size) - header)});
    at += static_cast<size_t>(size);
  }
  return boxes;
}

const Box* Find(const std::vector<Box>& boxes, std::string_view type) {
  for (const Box& box : boxes) {
    if (box.Type == type) return &box;
  }
  return nullptr;
}

struct Extent {
  uint64_t Offset = 0;
  uint64_t Length = 0;
};

struct Item {
  uint32_t Id = 0;
  std::string_view Type;
  std::string ContentType;
  std::string ContentEncoding;
  bool Protected = false;
  bool InFile = false;  // its data lies in this file at the extents' offsets
  std::vector<Extent> Extents;
  int64_t Width = 0;
  int64_t Height = 0;
  uint32_t Describes = 0;  // the image a metadata item belongs to ("cdsc"); 0 when none
};

// The items by their number, in that order.
class ItemTable {
 public:
  Item& Get(uint32_t id) {
    Item& item = items_[id];
    item.Id = id;
    return item;
  }
  const std::map<uint32_t, Item>& All() const { return items_; }
  size_t Count() const { return items_.size(); }

 private:
  std::map<uint32_t, Item> items_;
};

bool ReadPrimary(const Box& box, uint32_t& primary) {
  Cursor in(box.Body);
  uint8_t version = 0;
  if (!in.Version(version)) return false;
  uint64_t id = 0;
  if (!in.Number(version == 0 ? 2 : 4, id)) return false;
  primary = static_cast<uint32_t>(id);
  return true;
}

// The item information entries of versions 2 and 3 (the older ones name no item type).
void ReadItemInfo(const Box& box, ItemTable& items) {
  Cursor in(box.Body);
  uint8_t version = 0;
  uint64_t count = 0;
  if (!in.Version(version) || !in.Number(version == 0 ? 2 : 4, count)) return;
  std::span<const unsigned char> rest = box.Body.subspan(box.Body.size() - in.Left());
  for (const Box& entry : Children(rest)) {
    if (entry.Type != "infe" || items.Count() >= kMaxItems) continue;
    Cursor e(entry.Body);
    uint8_t entryVersion = 0;
    if (!e.Version(entryVersion) || (entryVersion != 2 && entryVersion != 3)) continue;
    uint64_t id = 0;
    uint16_t protection = 0;
    std::string_view type;
    std::string name;
    if (!e.Number(entryVersion == 2 ? 2 : 4, id) || !e.Read(protection) || !e.FourCc(type) ||
        !e.Text(name))
      continue;
    Item& item = items.Get(static_cast<uint32_t>(id));
    item.Type = type;
    item.Protected = protection != 0;
    if (type == "mime") {
      if (!e.Text(item.ContentType)) item.ContentType.clear();
      // The encoding is optional and may end the box without its zero byte.
      if (e.Left() > 0 && !e.Text(item.ContentEncoding)) item.ContentEncoding = "?";
    }
  }
}

// Where each item's data lies: versions 0, 1 and 2, data in the file (construction method 0)
// and in this file (data reference 0) only.
void ReadLocations(const Box& box, ItemTable& items) {
  Cursor in(box.Body);
  uint8_t version = 0;
  uint8_t sizes = 0;
  uint8_t moreSizes = 0;
  if (!in.Version(version) || version > 2 || !in.Read(sizes) || !in.Read(moreSizes)) return;
  const size_t offsetSize = sizes >> 4;
  const size_t lengthSize = sizes & 0x0F;
  const size_t baseOffsetSize = moreSizes >> 4;
  const size_t indexSize = version == 0 ? 0 : (moreSizes & 0x0F);
  uint64_t count = 0;
  if (!in.Number(version < 2 ? 2 : 4, count)) return;
  for (uint64_t i = 0; i < count && i < kMaxItems; ++i) {
    uint64_t id = 0;
    uint16_t method = 0;
    uint16_t reference = 0;
    uint64_t base = 0;
    uint16_t extentCount = 0;
    if (!in.Number(version < 2 ? 2 : 4, id)) return;
    if (version > 0 && !in.Read(method)) return;
    if (!in.Read(reference) || !in.Number(baseOffsetSize, base) || !in.Read(extentCount)) return;
    const size_t entryBytes = indexSize + offsetSize + lengthSize;
    if (extentCount > kMaxExtents || entryBytes == 0) {
      // More pieces than any encoder writes, or pieces without a place: passed over at once.
      if (!in.Skip(size_t{extentCount} * entryBytes)) return;
      continue;
    }
    std::vector<Extent> extents;
    for (uint32_t k = 0; k < extentCount; ++k) {
      uint64_t index = 0;
      Extent extent;
      if (!in.Number(indexSize, index) || !in.Number(offsetSize, extent.Offset) ||
          !in.Number(lengthSize, extent.Length))
        return;
      // An offset that does not fit in 64 bits cannot lie in the file.
      if (extent.Offset > UINT64_MAX - base) return;
      extent.Offset += base;
      extents.push_back(extent);
    }
    if ((method & 0x0F) != 0 || reference != 0) continue;
    if (items.Count() >= kMaxItems) return;
    Item& item = items.Get(static_cast<uint32_t>(id));
    item.InFile = true;
    item.Extents = std::move(extents);
  }
}

// The image sizes ("ispe") the items' properties name.
void ReadSizes(const Box& box, ItemTable& items) {
  const std::vector<Box> children = Children(box.Body);
  const Box* container = Find(children, "ipco");
  if (container == nullptr) return;
  const std::vector<Box> properties = Children(container->Body);
  for (const Box& association : children) {
    if (association.Type != "ipma") continue;
    Cursor in(association.Body);
    uint8_t version = 0;
    uint32_t count = 0;
    if (!in.Version(version) || !in.Read(count)) continue;
    // The flags' lowest bit says whether the property indexes take 15 bits or 7.
    const bool wide = (association.Body[3] & 1) != 0;
    for (uint32_t i = 0; i < count && i < kMaxItems; ++i) {
      uint64_t id = 0;
      uint8_t links = 0;
      if (!in.Number(version < 1 ? 2 : 4, id) || !in.Read(links)) break;
      for (int k = 0; k < links; ++k) {
        uint64_t link = 0;
        if (!in.Number(wide ? 2 : 1, link)) return;
        const uint64_t index = link & (wide ? 0x7FFF : 0x7F);  // from 1; 0 is no property
        if (index == 0 || index > properties.size()) continue;
        const Box& property = properties[index - 1];
        if (property.Type != "ispe") continue;
        Cursor size(property.Body);
        uint8_t sizeVersion = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        if (!size.Version(sizeVersion) || !size.Read(width) || !size.Read(height)) continue;
        if (items.Count() >= kMaxItems) return;
        Item& item = items.Get(static_cast<uint32_t>(id));
        item.Width = width;
        item.Height = height;
      }
    }
  }
}

// Which image each metadata item describes ("cdsc" references).
void ReadReferences(const Box& box, ItemTable& items) {
  Cursor in(box.Body);
  uint8_t version = 0;
  if (!in.Version(version)) return;
  const size_t idSize = version == 0 ? 2 : 4;
  for (const Box& reference : Children(box.Body.subspan(4))) {
    if (reference.Type != "cdsc") continue;
    Cursor r(reference.Body);
    uint64_t from = 0;
    uint16_t count = 0;
    if (!r.Number(idSize, from) || !r.Read(count)) continue;
    uint64_t to = 0;
    if (count == 0 || !r.Number(idSize, to)) continue;
    if (items.Count() >= kMaxItems) return;
    items.Get(static_cast<uint32_t>(from)).Describes = static_cast<uint32_t>(to);
  }
}

// The metadata item that describes the primary image, else the first one: a file of several
// images (a burst) may hold one for each.
const Item* MetadataItem(const ItemTable& items, uint32_t primary, bool (*wanted)(const Item&)) {
  const Item* first = nullptr;
  for (const auto& [id, item] : items.All()) {
    if (!wanted(item) || item.Protected || !item.InFile) continue;
    if (item.Describes == primary) return &item;
    if (first == nullptr) first = &item;
  }
  return first;
}

bool IsExif(const Item& item) {
  return item.Type == "Exif";
}
bool IsXmp(const Item& item) {
  return item.Type == "mime" && item.ContentType == "application/rdf+xml" &&
         item.ContentEncoding.empty();
}

// An item's data, its extents one after another; none when an extent lies outside the file
// or the whole is beyond the limit.
std::optional<std::string> ItemData(const RandomAccessFile& file, const Item& item) {
  const auto fileSize = static_cast<uint64_t>(file.Size());
  uint64_t total = 0;
  for (const Extent& extent : item.Extents) {
    if (extent.Length == 0 || extent.Offset > fileSize || extent.Length > fileSize - extent.Offset)
      return std::nullopt;
    total += extent.Length;
    if (total > static_cast<uint64_t>(kMaxItemBytes)) return std::nullopt;
  }
  std::string data(static_cast<size_t>(total), '\0');
  size_t at = 0;
  for (const Extent& extent : item.Extents) {
    const auto length = static_cast<size_t>(extent.Length);
    if (file.ReadAt(static_cast<int64_t>(extent.Offset), data.data() + at, length) !=
        static_cast<ssize_t>(length))
      return std::nullopt;
    at += length;
  }
  return data;
}

// The EXIF item begins with the distance from its fifth byte to the TIFF header; some writers
// put the JPEG segment's "Exif" mark there as well.
std::string TiffBlock(const std::string& item) {
  if (item.size() < 4) return {};
  const uint32_t skip = Big32(reinterpret_cast<const unsigned char*>(item.data()));
  if (skip > item.size() - 4) return {};
  std::string tiff = item.substr(4 + skip);
  if (tiff.compare(0, 6, std::string_view("Exif\0\0", 6)) == 0) tiff.erase(0, 6);
  const bool intel = tiff.compare(0, 4, std::string_view("II*\0", 4)) == 0;
  const bool motorola = tiff.compare(0, 4, std::string_view("MM\0*", 4)) == 0;
  return intel || motorola ? tiff : std::string();
}

bool HasHeifBrand(const RandomAccessFile& file) {
  unsigned char head[8];
  if (file.ReadAt(0, head, 8) != 8 || std::memcmp(head + 4, "ftyp", 4) != 0) return false;
  const uint32_t size = Big32(head);
  if (size < 16 || size > kMaxTypeBox || size > file.Size()) return false;
  std::vector<unsigned char> body(size - 8);
  if (file.ReadAt(8, body.data(), body.size()) != static_cast<ssize_t>(body.size())) return false;
  // The major brand, the minor version, then the compatible brands.
  for (size_t at = 0; at + 4 <= body.size(); at += at == 0 ? 8 : 4) {
    const std::string_view brand(reinterpret_cast<const char*>(body.data() + at), 4);
    if (std::find(kBrands.begin(), kBrands.end(), brand) != kBrands.end()) return true;
  }
  return false;
}

// The top-level "meta" box, read whole; none when there is none or it is damaged or too big.
std::optional<std::vector<unsigned char>> MetaBox(const RandomAccessFile& file) {
  const int64_t fileSize = file.Size();
  int64_t at = 0;
  for (int boxes = 0; boxes < kMaxTopLevelBoxes && fileSize - at >= 8; ++boxes) {
    unsigned char head[16];
    if (file.ReadAt(at, head, 8) != 8) return std::nullopt;
    uint64_t size = Big32(head);
    int64_t header = 8;
    if (size == 1) {
      if (fileSize - at < 16 || file.ReadAt(at + 8, head + 8, 8) != 8) return std::nullopt;
      size = Big64(head + 8);
      header = 16;
    } else if (size == 0) {
      size = static_cast<uint64_t>(fileSize - at);
    }
    if (size < static_cast<uint64_t>(header) || size > static_cast<uint64_t>(fileSize - at))
      return std::nullopt;
    if (std::memcmp(head + 4, "meta", 4) == 0) {
      const int64_t length = static_cast<int64_t>(size) - header;
      if (length > kMaxMetaBox) return std::nullopt;
      std::vector<unsigned char> body(static_cast<size_t>(length));
      if (file.ReadAt(at + header, body.data(), body.size()) != static_cast<ssize_t>(length))
        return std::nullopt;
      return body;
    }
    at += static_cast<int64_t>(size);
  }
  return std::nullopt;
}

}  // namespace

HeifMetadata ReadHeifMetadata(const RandomAccessFile& file) {
  HeifMetadata result;
  if (!HasHeifBrand(file)) return result;
  result.State = HeifMetadata::kUnreadable;
  const std::optional<std::vector<unsigned char>> meta = MetaBox(file);
  // A full box: version and flags come before its children.
  if (!meta || meta->size() < 4 || (*meta)[0] != 0) return result;
  const std::vector<Box> boxes = Children(std::span(*meta).subspan(4));
  uint32_t primary = 0;
  const Box* primaryBox = Find(boxes, "pitm");
  if (primaryBox == nullptr || !ReadPrimary(*primaryBox, primary)) return result;
  ItemTable items;
  for (const Box& box : boxes) {
    if (box.Type == "iinf") ReadItemInfo(box, items);
    if (box.Type == "iloc") ReadLocations(box, items);
    if (box.Type == "iprp") ReadSizes(box, items);
    if (box.Type == "iref") ReadReferences(box, items);
  }
  result.State = HeifMetadata::kRead;
  if (const auto image = items.All().find(primary); image != items.All().end()) {
    result.Width = image->second.Width;
    result.Height = image->second.Height;
  }
  if (const Item* exif = MetadataItem(items, primary, IsExif)) {
    if (const std::optional<std::string> data = ItemData(file, *exif))
      result.Exif = TiffBlock(*data);
  }
  if (const Item* xmp = MetadataItem(items, primary, IsXmp)) {
    if (const std::optional<std::string> data = ItemData(file, *xmp)) result.Xmp = *data;
  }
  return result;
}
