// XLARX::DataLogRecorder: records kept as file bytes, saves and strict restore.
#include "logs/DataLogRecorder.h"

#include "base/Clock.h"
#include "logs/Crc16.h"
#include "logs/LogFileIo.h"
#include "logs/LogReports.h"
#include "types/PICTypeContainer.h"
#include "types/StructureTypes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace XLARX {

using namespace arxmod;

namespace {

// The header's CRC is computed over the file in pieces of this size, so a
// header that claims millions of source handles costs no memory.
constexpr size_t kCrcChunk = 64 * 1024;

// The values of a record: a list, or a list structure.
const PICTypeContainer *recordList(const PICType &value) {
  if (const auto *list = dynamic_cast<const PICTypeContainer *>(&value))
    return list;
  if (const auto *structure = dynamic_cast<const PICTypeList *>(&value))
    return &structure->list();
  return nullptr;
}

} // namespace

DataLogRecorder::DataLogRecorder(Identity identity, uint32_t moduleHandle,
                                 std::vector<uint32_t> sources)
    : BufRecorder(std::move(identity)) {
  config_.word1 = moduleHandle;
  config_.word2 = kValueEncoding;
  config_.depth = depth();
  config_.identifier = key();
  config_.auxChannels = 1;
  config_.valuesPerRecord = static_cast<uint32_t>(sources.size());
  config_.sources = std::move(sources);
  image_.assign(size_t{config_.depth} * config_.recordSize(), 0);
  scratch_.assign(config_.recordSize(), 0);
  aux().push_back({kRestartChannel, {}});
}

void DataLogRecorder::storeValue(uint32_t slot, uint32_t sequence, double time,
                                 const PICType &value) {
  const PICTypeContainer *values = recordList(value);
  if (!values)
    throw KSXmsg("Wrong Data Type");
  if (values->count() != config_.valuesPerRecord)
    throw KSXmsg("A record of " + std::to_string(values->count()) +
                 " values does not fit data log " + logKeyText(key()) + ", which records " +
                 std::to_string(config_.valuesPerRecord) + " values");
  uint8_t *out = scratch_.data();
  writeRecordHead(out, sequence, time);
  out += kRecordHeadSize;
  for (const PICType *item : *values) {
    if (!item || !encodeRecordValue(*item, out))
      throw RecordValueUnsupported();
    out += kRecordValueSize;
  }
  std::memcpy(record(slot), scratch_.data(), config_.recordSize() - 2);
}

PICTypeContainer *DataLogRecorder::slotValues(uint32_t slot, MemoryBlob &blob) const {
  auto *values = blob.make<PICTypeContainer>();
  const uint8_t *in = record(slot) + kRecordHeadSize;
  for (uint32_t j = 0; j < config_.valuesPerRecord; ++j, in += kRecordValueSize) {
    PICType *value = decodeRecordValue(in, blob);
    if (!value)
      throw RecordValueUnsupported();
    values->append(value);
  }
  return values;
}

void DataLogRecorder::dropValues() { std::fill(image_.begin(), image_.end(), 0); }

void DataLogRecorder::sealRecords(bool wholeFile) {
  const size_t size = config_.recordSize();
  // An unwritten slot of a new file is zeros with a CRC that cannot match
  // them, so it never reads back as a record.
  std::vector<uint8_t> empty(size - 2, 0);
  const uint16_t invalidCrc = static_cast<uint16_t>(~crc16Modbus(empty));
  for (uint32_t slot = 0; slot < config_.depth; ++slot) {
    uint8_t *bytes = record(slot);
    const auto &state = slots()[slot];
    if (state.written && (state.changed || wholeFile)) {
      storeCrc16(crc16Modbus({bytes, size - 2}), bytes + size - 2);
    } else if (!state.written && wholeFile) {
      std::memset(bytes, 0, size - 2);
      storeCrc16(invalidCrc, bytes + size - 2);
    }
  }
}

void DataLogRecorder::save() {
  if (!newFile()) {
    FileDescriptor file;
    const int error = openForUpdate(fileName(), file);
    if (error && error != ENOENT)
      throw RecorderFileError("A file open error occurred in DataLogRecorder::Save", fileName(),
                              error);
    if (!error) {
      SaveRecordData(file);
      if (auxChanged())
        SaveAuxChannelData(file);
      unflushed_ = std::move(file);
      markSaved();
      return;
    }
  }
  SaveNewFile();
  markSaved();
}

void DataLogRecorder::flushSavedFile() {
  FileDescriptor file = std::move(unflushed_);
  if (!file)
    return;
  if (const int error = logWriteSeam().syncFile(file.get()))
    throw RecorderFileError("File write error 2 occurred in DataLogRecorder::SaveRecordData",
                            fileName(), error);
}

void DataLogRecorder::SaveNewFile() {
  moveRefusedFileAway("A file open error occurred in DataLogRecorder::Save");
  if (const int error = ensureDirectory(fileName().parent_path()))
    throw RecorderFileError("A file open error occurred in DataLogRecorder::Save", fileName(),
                            error);
  ReplacementFile file(fileName());
  if (const int error = file.open())
    throw RecorderFileError("A file open error occurred in DataLogRecorder::Save", fileName(),
                            error);
  sealRecords(true);
  const std::vector<uint8_t> header = encodeDataLogHeader(config_);
  if (const int error = file.writeAt(header, 0))
    throw RecorderFileError("File write error 1 occurred in DataLogRecorder::SaveHeaderData",
                            fileName(), error);
  if (const int error = file.writeAt(image_, config_.recordsOffset()))
    throw RecorderFileError("File write error 2 occurred in DataLogRecorder::SaveRecordData",
                            fileName(), error);
  const std::vector<uint8_t> auxBlock = encodeAuxBlock(auxChannels(), config_.depth);
  if (const int error = file.writeAt(auxBlock, config_.auxOffset()))
    throw RecorderFileError("File write error 4 occurred in DataLogRecorder::SaveAuxChannelData",
                            fileName(), error);
  int error = file.writeAt(kDataLogTrailer, config_.trailerOffset());
  if (!error)
    error = file.commit();
  if (error)
    throw RecorderFileError("File write error 3 occurred in DataLogRecorder::SaveTrailerData",
                            fileName(), error);
}

void DataLogRecorder::SaveRecordData(const FileDescriptor &file) {
  if (!anySlotChanged())
    return;
  sealRecords(false);
  const size_t size = config_.recordSize();
  LogWriteSeam &seam = logWriteSeam();
  // Runs of adjacent changed slots go out in one write each.
  uint32_t slot = 0;
  while (slot < config_.depth) {
    if (!slots()[slot].changed) {
      ++slot;
      continue;
    }
    const uint32_t first = slot;
    while (slot < config_.depth && slots()[slot].changed)
      ++slot;
    const std::span<const uint8_t> run(record(first), size_t{slot - first} * size);
    if (const int error =
            seam.writeAt(file.get(), run, config_.recordsOffset() + uint64_t{first} * size))
      throw RecorderFileError("File write error 2 occurred in DataLogRecorder::SaveRecordData",
                              fileName(), error);
  }
}

void DataLogRecorder::SaveAuxChannelData(const FileDescriptor &file) {
  const std::vector<uint8_t> block = encodeAuxBlock(auxChannels(), config_.depth);
  if (const int error = logWriteSeam().writeAt(file.get(), block, config_.auxOffset()))
    throw RecorderFileError("File write error 4 occurred in DataLogRecorder::SaveAuxChannelData",
                            fileName(), error);
}

bool DataLogRecorder::restore() {
  ReadOnlyFile file;
  if (const int error = file.open(fileName())) {
    if (error == ENOENT)
      return false;
    throw RecorderFileError("Could not read file header in DataLogRecorder::RestoreHeaderData",
                            fileName(), error);
  }
  const std::optional<uint64_t> size = file.size();
  if (!size)
    throw RecorderFileError("Could not read file header in DataLogRecorder::RestoreHeaderData",
                            fileName());
  RestoreHeaderData(file, *size);
  RestoreRecordData(file, *size);
  RestoreAuxChannelData(file);
  appendAuxValue(0, (uint64_t{position()} << 32) |
                        static_cast<uint32_t>(unixWholeSeconds(currentClock().wallNow())));
  return true;
}

void DataLogRecorder::RestoreHeaderData(const ReadOnlyFile &file, uint64_t size) {
  const char *unreadable = "Could not read file header in DataLogRecorder::RestoreHeaderData";
  std::array<uint8_t, kDataLogFixedHeaderSize> fixed{};
  if (size < dataLogHeaderSize(0) || !file.readAt(0, fixed))
    throw RecorderFileError(unreadable, fileName());
  const StoredHeaderStart stored = readHeaderStart(fixed);
  const uint64_t headerSize = dataLogHeaderSize(0) + 4 * uint64_t{stored.sources};
  if (stored.magic != kDataLogMagic || stored.version != kDataLogVersion ||
      stored.headerLength != headerSize || headerSize > size)
    throw RecorderFileError(unreadable, fileName());

  uint16_t crc = crc16Modbus(fixed);
  std::vector<uint8_t> chunk(std::min<uint64_t>(kCrcChunk, headerSize));
  for (uint64_t at = fixed.size(); at < headerSize - 2;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(chunk.size(), headerSize - 2 - at));
    if (!file.readAt(at, {chunk.data(), piece}))
      throw RecorderFileError(unreadable, fileName());
    crc = crc16Modbus({chunk.data(), piece}, crc);
    at += piece;
  }
  uint8_t storedCrc[2];
  if (!file.readAt(headerSize - 2, storedCrc))
    throw RecorderFileError(unreadable, fileName());
  if (crc != loadCrc16(storedCrc))
    throw RecorderFileError(
        "Invalid CRC on header so file not restored in DataLogRecorder::RestoreHeaderData",
        fileName());

  if (stored.word1 != config_.word1 || stored.word2 != config_.word2)
    throw RecorderFileError(
        "Configuration does not match 1 so file not restored in DataLogRecorder::RestoreHeaderData",
        fileName());
  const char *shapeDiffers =
      "Configuration does not match 2 so file not restored in DataLogRecorder::RestoreHeaderData";
  if (stored.depth != config_.depth ||
      makeLogKey(stored.idHigh, stored.idLow) != config_.identifier ||
      stored.auxChannels != config_.auxChannels || stored.sources != config_.sources.size() ||
      stored.valuesPerRecord != config_.valuesPerRecord)
    throw RecorderFileError(shapeDiffers, fileName());
  std::vector<uint8_t> handles(4 * config_.sources.size());
  if (!file.readAt(kDataLogFixedHeaderSize, handles))
    throw RecorderFileError(unreadable, fileName());
  for (size_t i = 0; i < config_.sources.size(); ++i) {
    const uint8_t *at = handles.data() + 4 * i;
    const uint32_t handle =
        (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
    if (handle != config_.sources[i])
      throw RecorderFileError(shapeDiffers, fileName());
  }
}

void DataLogRecorder::RestoreRecordData(const ReadOnlyFile &file, uint64_t size) {
  const char *unreadable = "File read error occurred in DataLogRecorder::RestoreRecordData";
  uint8_t trailer[sizeof kDataLogTrailer];
  std::vector<uint8_t> records(image_.size());
  if (size != config_.fileSize() || !file.readAt(config_.recordsOffset(), records) ||
      !file.readAt(config_.trailerOffset(), trailer) ||
      !std::equal(std::begin(trailer), std::end(trailer), std::begin(kDataLogTrailer)))
    throw RecorderFileError(unreadable, fileName());

  const size_t recordSize = config_.recordSize();
  auto valid = [&](uint32_t slot) {
    const uint8_t *bytes = records.data() + size_t{slot} * recordSize;
    // The last sequence number has no position after it; a file claiming it
    // would wrap the log's position to 0 and hide every other record.
    const uint32_t sequence = recordSequence(bytes);
    if (!crc16Matches({bytes, recordSize}) || sequence == UINT32_MAX ||
        sequence % config_.depth != slot)
      return false;
    for (uint32_t j = 0; j < config_.valuesPerRecord; ++j)
      if (!knownRecordValueType(bytes + kRecordHeadSize + kRecordValueSize * j))
        return false;
    return true;
  };
  std::vector<bool> kept(config_.depth);
  for (uint32_t slot = 0; slot < config_.depth; ++slot) {
    kept[slot] = valid(slot);
    if (kept[slot])
      advancePositionPast(recordSequence(records.data() + size_t{slot} * recordSize));
  }
  resetSlots();
  image_ = std::move(records);
  for (uint32_t slot = 0; slot < config_.depth; ++slot) {
    const uint8_t *bytes = record(slot);
    if (kept[slot] && inWindow(recordSequence(bytes)))
      placeRestoredRecord(slot, recordSequence(bytes), recordTime(bytes));
  }
}

void DataLogRecorder::RestoreAuxChannelData(const ReadOnlyFile &file) {
  std::vector<uint8_t> block(auxBlockSize(config_.depth, config_.auxChannels));
  std::vector<AuxChannel> channels;
  const bool read = file.readAt(config_.auxOffset(), block) &&
                    decodeAuxBlock(block, config_.depth, config_.auxChannels, channels) &&
                    channels.size() == 1 && channels[0].identifier == kRestartChannel;
  if (read) {
    aux() = std::move(channels);
    return;
  }
  const char *message = "File read error occurred in DataLogRecorder::RestoreAuxChannelData";
  logBufferTrace()(logKeyText(key()), message);
  reportLogFileFault(logBufferTrace(), message, fileName());
}

} // namespace XLARX
