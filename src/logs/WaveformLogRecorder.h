// XLARX::WaveformLogRecorder: the recorder of a waveform recorder module's
// log. Each record is a WaveformType kept in a file of its own,
// "<key>.NNNN.dat" with NNNN the record's slot (so a log of depth D uses D
// files, reused as the ring turns), and the list of records is kept in the
// metadata document "<key>.arx" (RecorderCache.h), whose records hold the
// name of their record file.
//
// Record file layout, integers big-endian, doubles little-endian:
//
//   0       4   magic 0x57415645 ("WAVE")
//   4       4   sequence number
//   8       8   time stamp
//   16      32  the four numeric fields of the waveform, as doubles
//   48      4   number of samples n
//   52      8n  the samples, as doubles
//   52+8n   2   CRC-16/MODBUS of the bytes before it, high byte first
//
// Numbers come back as Float64Type and the samples as a Float64Array.
// Record files are written before the metadata document, each replaced
// whole; on restore a record whose file is missing, torn or holds another
// sequence number is dropped and the others are kept.
#pragma once

#include "logs/SlotValueRecorder.h"

#include <string>

namespace XLARX {

class WaveformLogRecorder final : public SlotValueRecorder {
public:
  static constexpr uint32_t kRecordMagic = 0x57415645;

  using SlotValueRecorder::SlotValueRecorder;

  void save() override;
  bool restore() override;

  // "<key>.NNNN.dat" beside the metadata document.
  std::filesystem::path recordFileName(uint32_t slot) const;

protected:
  // Raises "Wrong Data Type" for anything but a WaveformType.
  void checkValue(const arxmod::PICType &value) const override;

private:
  void SaveIndividualRecord(uint32_t slot);
  // The waveform of the record file for `slot`, with its time stamp in
  // `time`; nullptr when the file is missing, torn or holds another
  // sequence number.
  const arxmod::PICType *readIndividualRecord(uint32_t slot, uint32_t sequence, double &time,
                                              arxmod::MemoryBlob &blob) const;
};

} // namespace XLARX
