// XLARX::WaveformLogRecorder: record files and the metadata document.
#include "logs/WaveformLogRecorder.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "logs/Crc16.h"
#include "logs/DataLogFormat.h"
#include "logs/LogFileIo.h"
#include "logs/LogKey.h"
#include "logs/RecorderCache.h"
#include "types/ArrayTypes.h"
#include "types/PICTypeContainer.h"

#include <cstdio>

namespace XLARX {

using namespace arxmod;

namespace {

constexpr size_t kRecordFixedSize = 52; // up to the sample count, inclusive
constexpr size_t kWaveformNumbers = 4;
// A record file holds at most this many samples (64 MiB of them).
constexpr uint64_t kMaxSamples = 8 * 1024 * 1024;
// The metadata document holds a short record per slot.
constexpr uint64_t kMetadataBytesPerSlot = 4096;

void writeDouble(ByteWriter &out, double value) {
  uint8_t bytes[8];
  storeDoubleLE(value, bytes);
  out.writeBytes(bytes);
}

double readDouble(ByteReader &in) {
  uint8_t bytes[8] = {};
  in.readBytes(bytes);
  return loadDoubleLE(bytes);
}

std::vector<uint8_t> encodeRecordFile(uint32_t sequence, double time, const WaveformType &wave) {
  ByteWriter out;
  out.writeU32BE(WaveformLogRecorder::kRecordMagic);
  out.writeU32BE(sequence);
  writeDouble(out, time);
  for (size_t i = 0; i < kWaveformNumbers; ++i)
    writeDouble(out, picCast<NumericType>(wave.field(i))->asDouble());
  const auto *samples = picCast<SimpleArray>(wave.field(kWaveformNumbers));
  out.writeU32BE(static_cast<uint32_t>(samples->count()));
  for (size_t i = 0; i < samples->count(); ++i)
    writeDouble(out, static_cast<double>(samples->elementAsLongDouble(i)));
  out.writeU16BE(crc16Modbus(out.bytes()));
  return out.takeBytes();
}

} // namespace

std::filesystem::path WaveformLogRecorder::recordFileName(uint32_t slot) const {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%04u.dat", slot);
  return fileName().parent_path() / (logKeyText(key()) + suffix);
}

void WaveformLogRecorder::checkValue(const PICType &value) const {
  if (!dynamic_cast<const WaveformType *>(&value))
    throw KSXmsg("Wrong Data Type");
}

void WaveformLogRecorder::SaveIndividualRecord(uint32_t slot) {
  const std::filesystem::path file = recordFileName(slot);
  std::vector<uint8_t> bytes;
  try {
    bytes = encodeRecordFile(slots()[slot].sequence, slots()[slot].time,
                             picCast<WaveformType>(*storedValue(slot)));
  } catch (const KSXmsg &failure) {
    throw RecorderFileError(
        "Could not generate raw data in WaveformLogRecorder::SaveIndividualRecord: " +
            failure.text(),
        file);
  }
  const WriteResult written = replaceFile(file, {bytes});
  if (written.step == WriteStep::Open)
    throw RecorderFileError(
        "A file open error occurred in WaveformLogRecorder::SaveIndividualRecord", file,
        written.error);
  if (!written)
    throw RecorderFileError(
        "Could not save WaveformLogRecorder cache. Reason: " + errorText(written.error), file);
}

void WaveformLogRecorder::save() {
  moveRefusedFileAway("Could not save WaveformLogRecorder cache.");
  if (const int error = ensureDirectory(fileName().parent_path()))
    throw RecorderFileError(
        "A file open error occurred in WaveformLogRecorder::SaveIndividualRecord", fileName(),
        error);
  for (uint32_t slot = 0; slot < depth(); ++slot)
    if (slots()[slot].written && (slots()[slot].changed || newFile()))
      SaveIndividualRecord(slot);
  std::string reason;
  try {
    MemoryBlob blob(kProgramBlobSize);
    auto *metadata = blob.make<LogArrayType>();
    for (const PICType *item : heldRecords(blob).items()) {
      const auto *held = static_cast<const LogRecordType *>(item);
      auto *record = blob.make<LogRecordType>();
      record->setRecordNumber(held->recordNumber());
      record->setNumeric(held->numeric());
      auto *names = blob.make<PICTypeContainer>();
      names->append(
          makeString(blob, recordFileName(held->recordNumber() % depth()).filename().string()));
      record->setValues(names);
      metadata->append(record);
    }
    int error = 0;
    reason = writeRecorderCache(logRegister(), *metadata, fileName(), error);
  } catch (const KSXmsg &failure) {
    reason = failure.text();
  } catch (...) {
    throw RecorderFileError("Could not save WaveformLogRecorder cache.", fileName());
  }
  if (!reason.empty())
    throw RecorderFileError("Could not save WaveformLogRecorder cache. Reason: " + reason,
                            fileName());
  markSaved();
}

const PICType *WaveformLogRecorder::readIndividualRecord(uint32_t slot, uint32_t sequence,
                                                         double &time, MemoryBlob &blob) const {
  ReadOnlyFile file;
  if (file.open(recordFileName(slot)))
    return nullptr;
  const std::optional<uint64_t> size = file.size();
  if (!size || *size < kRecordFixedSize + 2 || *size > kRecordFixedSize + 2 + 8 * kMaxSamples ||
      (*size - kRecordFixedSize - 2) % 8 != 0)
    return nullptr;
  std::vector<uint8_t> bytes(static_cast<size_t>(*size));
  if (!file.readAt(0, bytes) || !crc16Matches(bytes))
    return nullptr;
  ByteReader in(bytes);
  uint32_t magic = 0, stored = 0, count = 0;
  in.readU32BE(magic);
  in.readU32BE(stored);
  time = readDouble(in);
  auto *wave = blob.make<WaveformType>();
  for (size_t i = 0; i < kWaveformNumbers; ++i)
    wave->setField(i, blob.make<Float64Type>(readDouble(in)));
  in.readU32BE(count);
  if (magic != kRecordMagic || stored != sequence || count != (*size - kRecordFixedSize - 2) / 8)
    return nullptr;
  auto *samples = blob.make<Float64Array>(count);
  for (double &sample : samples->elements())
    sample = readDouble(in);
  wave->setField(kWaveformNumbers, samples);
  return wave;
}

bool WaveformLogRecorder::restore() {
  MemoryBlob blob(kProgramBlobSize);
  const LogArrayType *metadata = readCache(kMetadataBytesPerSlot, blob);
  if (!metadata)
    return false;
  std::vector<RestoredRecord> records;
  for (const PICType *item : metadata->items()) {
    const auto *record = static_cast<const LogRecordType *>(item);
    const uint32_t sequence = record->recordNumber();
    const uint32_t slot = sequence % depth();
    const auto *name = dynamic_cast<const CharArrayBase *>(record->values()->first());
    if (record->listCount() != 1 || !name ||
        name->text() != recordFileName(slot).filename().string())
      throw RecorderFileError(kCorruptCacheMessage, fileName());
    // The record existed even when its file is lost: the position passes it.
    advancePositionPast(sequence);
    double time = 0;
    if (const PICType *wave = readIndividualRecord(slot, sequence, time, blob))
      records.push_back({sequence, time, wave});
  }
  restoreRecords(records);
  return true;
}

} // namespace XLARX
