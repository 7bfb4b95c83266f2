// LogReads: a client's reads of a log register, answered from the PC-side
// logs.
//
// A translator asks isLogRead for every invocation, before it looks at the
// value cache or the tree, and calls answerLogRead when it says yes:
//
//   if (isLogRead(handle, method, tree))
//     if (PICType *answer = answerLogRead(LogBuffer::instance(), device, handle, method,
//                                         argument, tree, blob))
//       return answer;   // the log answered
//   ...                  // not a PC-side log read: answer as usual
//
// isLogRead only looks the handle up in the tree, so the reads of ordinary
// values never touch the log buffer's table and its lock.
//
//   method                     answer
//   21 Register_read_value     the log's records (LogBuffer::GetLogs): all of
//                              them for no argument (nullptr or VoidType),
//                              sequence numbers first..last (inclusive) for a
//                              RangeType {first last}; an ExceptionType with
//                              code 3 "Wrong Data Type" for another argument,
//                              code 5 "Not Available" for an empty log
//   40 LogReg_read_position    UnsignedType: the sequence number of the
//                              log's next record
//
// The answer is nullptr for any other method and for a register that has
// no PC-side log (not a log register, or one the recorder factory gives no
// recorder); the translator then answers it as before (for method 40, the
// position stored in the tree). A log register is given its recorder at its
// first read, restored from its file, so clients see the logs of earlier
// runs before anything is appended. Values are built in `blob`. A fault of
// the log's configuration (its Depth setup) is raised as KSXmsg.
#pragma once

#include "logs/LogBuffer.h"

namespace XLARX {

inline constexpr uint32_t kRegisterReadValue = 21;
inline constexpr uint32_t kLogRegReadPosition = 40;

// True for methods 21 and 40 on a log register of `tree`.
bool isLogRead(uint32_t handle, uint32_t method, const arxmod::TreeReader &tree);

arxmod::PICType *answerLogRead(LogBuffer &logs, uint32_t device, uint32_t handle, uint32_t method,
                               const arxmod::PICType *argument, const arxmod::TreeReader &tree,
                               arxmod::MemoryBlob &blob);

} // namespace XLARX
