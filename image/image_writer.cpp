#include "image/image_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>
#include <set>

#include "image/checksum.h"
#include "image/config_section.h"
#include "image/image_format.h"

namespace fwlaunch::image {

namespace {

std::uint8_t* At(std::string& image, std::size_t offset) {
  return reinterpret_cast<std::uint8_t*>(image.data()) + offset;
}

std::uint32_t Crc(std::uint32_t crc, const std::string& bytes, std::size_t from,
                  std::size_t length) {
  return Crc32(crc, {reinterpret_cast<const std::uint8_t*>(bytes.data()) + from, length});
}

// The member's bytes deflated, or nothing when that would not make them smaller.
std::optional<std::string> Deflate(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                Z_BEST_COMPRESSION) != Z_OK ||
      size >= bytes.size())
    return std::nullopt;
  packed.resize(size);
  return packed;
}

// What a member is stored as: deflated when asked for and smaller, else as given.
struct Layout {
  std::size_t config_size = 0;
  std::uint64_t data_offset = 0;
  std::uint64_t image_size = 0;
  std::vector<std::optional<std::string>> packed;  // per member, in the order given

  const std::string& Stored(const std::vector<Member>& members, std::size_t i) const {
    return packed[i] ? *packed[i] : members[i].bytes;
  }
};

// Checks every name, key and size against the format's limits; the reason when one breaks them.
Status Validate(const std::vector<ConfigRecord>& config, const std::vector<Member>& members) {
  std::set<std::string> keys;
  std::size_t config_size = 0;
  if (config.size() > kMaxConfigRecords) return Fail("too many config keys");
  for (const ConfigRecord& record : config) {
    if (!IsValidConfigKey(record.key))
      return Fail("config key '" + record.key + "' is not 1 to 127 of A-Z, 0-9 and _");
    if (!keys.insert(record.key).second) return Fail("config key " + record.key + " given twice");
    if (record.value.size() > kMaxValueLength || record.value.find('\0') != std::string::npos)
      return Fail("config value of " + record.key + " is over 1 MiB or holds a NUL");
    config_size += kRecordHeaderSize + record.key.size() + record.value.size();
  }
  if (config_size > kMaxConfigSize) return Fail("config section over 4 MiB");
  if (members.size() > kMaxEntries) {
    // Appended rather than "text" + to_string(...): GCC 12 warns falsely (-Wrestrict) on that.
    std::string reason = "more than ";
    reason.append(std::to_string(kMaxEntries)).append(" members");
    return Fail(reason);
  }
  std::set<std::string> names;
  for (const Member& member : members) {
    if (member.name.empty() || member.name.size() >= kEntryNameField ||
        member.name.find('\0') != std::string::npos)
      return Fail("member name '" + member.name + "' is not 1 to 127 bytes");
    if (!names.insert(member.name).second)
      return Fail("member name '" + member.name + "' given twice");
    if (member.bytes.size() > UINT32_MAX) return Fail("member '" + member.name + "' is over 4 GiB");
  }
  return Done{};
}

// Where everything goes: the header, the config section, the table, then the data.
Result<Layout> PlanLayout(const std::vector<ConfigRecord>& config,
                          const std::vector<Member>& members, bool compress) {
  Layout layout;
  for (const ConfigRecord& record : config)
    layout.config_size += kRecordHeaderSize + record.key.size() + record.value.size();
  layout.packed.resize(members.size());
  layout.data_offset = kHeaderSize + layout.config_size + members.size() * kEntrySize;
  layout.image_size = layout.data_offset;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (compress) layout.packed[i] = Deflate(members[i].bytes);
    layout.image_size += layout.Stored(members, i).size();
  }
  if (layout.image_size > UINT32_MAX) return Fail("image would exceed 4 GiB");
  return layout;
}

void WriteHeader(std::string& image, const Layout& layout, std::size_t entry_count) {
  std::memcpy(image.data(), kMagic, sizeof kMagic);
  WriteU16(At(image, kHeaderVersion), kVersion);
  WriteU16(At(image, kHeaderHeaderSize), kHeaderSize);
  WriteU32(At(image, kHeaderConfigSize), static_cast<std::uint32_t>(layout.config_size));
  WriteU32(At(image, kHeaderEntryCount), static_cast<std::uint32_t>(entry_count));
  WriteU32(At(image, kHeaderImageSize), static_cast<std::uint32_t>(layout.image_size));
  WriteU32(At(image, kHeaderDataOffset), static_cast<std::uint32_t>(layout.data_offset));
}

void WriteConfig(std::string& image, const std::vector<ConfigRecord>& config) {
  std::size_t at = kHeaderSize;
  for (const ConfigRecord& record : config) {
    WriteU16(At(image, at), static_cast<std::uint16_t>(record.key.size()));
    WriteU32(At(image, at + 4), static_cast<std::uint32_t>(record.value.size()));
    at += kRecordHeaderSize;
    image.replace(at, record.key.size(), record.key);
    at += record.key.size();
    image.replace(at, record.value.size(), record.value);
    at += record.value.size();
  }
}

// The data in the order given, and the table sorted by name.
void WriteMembers(std::string& image, const Layout& layout, const std::vector<Member>& members) {
  std::vector<std::uint32_t> offsets(members.size());
  std::size_t data = layout.data_offset;
  for (std::size_t i = 0; i < members.size(); ++i) {
    const std::string& stored = layout.Stored(members, i);
    offsets[i] = static_cast<std::uint32_t>(data);
    image.replace(data, stored.size(), stored);
    data += stored.size();
  }
  std::vector<std::size_t> order(members.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return members[a].name < members[b].name; });
  std::size_t table = kHeaderSize + layout.config_size;
  for (std::size_t row = 0; row < order.size(); ++row) {
    std::size_t i = order[row];
    const Member& member = members[i];
    std::size_t entry = table + row * kEntrySize;
    image.replace(entry, member.name.size(), member.name);
    WriteU32(At(image, entry + kEntryOffset), offsets[i]);
    WriteU32(At(image, entry + kEntryStoredSize),
             static_cast<std::uint32_t>(layout.Stored(members, i).size()));
    WriteU32(At(image, entry + kEntryOriginalSize),
             static_cast<std::uint32_t>(member.bytes.size()));
    *At(image, entry + kEntryMethod) =
        static_cast<std::uint8_t>(layout.packed[i] ? Method::kDeflate : Method::kStored);
    WriteU32(At(image, entry + kEntryCrc), Crc(0, member.bytes, 0, member.bytes.size()));
  }
}

}  // namespace

Result<std::string> BuildImage(const std::vector<ConfigRecord>& config,
                               const std::vector<Member>& members, bool compress) {
  if (Status valid = Validate(config, members); !valid) return Fail(valid.reason());
  Result<Layout> layout = PlanLayout(config, members, compress);
  if (!layout) return Fail(layout.reason());

  std::string image(layout->image_size, '\0');
  WriteHeader(image, *layout, members.size());
  WriteConfig(image, config);
  WriteMembers(image, *layout, members);
  // The header's CRC covers the header before it, the config section and the table.
  std::uint32_t crc = Crc(0, image, 0, kHeaderCrc);
  crc = Crc(crc, image, kHeaderSize, layout->data_offset - kHeaderSize);
  WriteU32(At(image, kHeaderCrc), crc);
  return image;
}

}  // namespace fwlaunch::image
