// The log position file: encoding and strict reading.
#include "logs/PositionFile.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "logs/Crc16.h"
#include "logs/LogFileIo.h"

#include <algorithm>
#include <cerrno>

namespace arxmod {

std::vector<uint8_t> encodePositionFile(const PositionMap &positions) {
  std::vector<std::pair<LogKey, uint32_t>> entries(positions.begin(), positions.end());
  std::sort(entries.begin(), entries.end());
  const size_t length = kPositionFileHeaderSize + kPositionEntrySize * entries.size() + 2;
  ByteWriter out;
  out.writeU32BE(kPositionFileMagic);
  out.writeU32BE(kPositionFileVersion);
  out.writeU32BE(static_cast<uint32_t>(length));
  out.writeU32BE(static_cast<uint32_t>(entries.size()));
  for (const auto &[key, position] : entries) {
    out.writeU32BE(logKeyDevice(key));
    out.writeU32BE(logKeyHandle(key));
    out.writeU32BE(0);
    out.writeU32BE(position);
  }
  out.writeU16BE(crc16Modbus(out.bytes()));
  return out.takeBytes();
}

std::string decodePositionFile(std::span<const uint8_t> bytes, PositionMap &positions) {
  ByteReader in(bytes);
  uint32_t magic = 0, version = 0, length = 0, count = 0;
  if (!in.readU32BE(magic) || !in.readU32BE(version) || magic != kPositionFileMagic ||
      version != kPositionFileVersion)
    return "Previous version of file LogBuffer::LogPosition::ProcessBody";
  if (!in.readU32BE(length) || !in.readU32BE(count) || length != bytes.size() ||
      bytes.size() < kPositionFileHeaderSize + 2 ||
      (bytes.size() - kPositionFileHeaderSize - 2) / kPositionEntrySize != count)
    return "Invalid contents of file 1 LogBuffer::LogPosition::ProcessBody";
  if (!crc16Matches(bytes))
    return "Invalid contents of file 2 LogBuffer::LogPosition::ProcessBody";
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t device = 0, handle = 0, high = 0, position = 0;
    in.readU32BE(device);
    in.readU32BE(handle);
    in.readU32BE(high);
    in.readU32BE(position);
    positions[makeLogKey(device, handle)] = position;
  }
  return {};
}

std::string readPositionFile(const std::filesystem::path &path, PositionMap &positions,
                             bool &missing) {
  ReadOnlyFile file;
  const int error = file.open(path);
  missing = error == ENOENT;
  if (error)
    return "Could not open log position file for reading";
  const std::optional<uint64_t> size = file.size();
  if (!size)
    return "File seek error occurred in LogBuffer::LogPosition::ReadPositionFile";
  if (*size < kPositionFileMinSize || *size > kPositionFileMaxSize)
    return "Bad file size 1 occurred in LogBuffer::LogPosition::ReadPositionFile";
  std::vector<uint8_t> bytes(static_cast<size_t>(*size));
  if (!file.readAt(0, bytes))
    return "Bad file size 2 occurred in LogBuffer::LogPosition::ReadPositionFile";
  return decodePositionFile(bytes, positions);
}

} // namespace arxmod
