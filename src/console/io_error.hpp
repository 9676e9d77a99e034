// File errors and their texts in messages.
#pragma once

#include <string>

namespace glycomb {

// A file error: the code of the program's error table, or the negated system error number when
// the table has no entry for it, and the error's own message.
struct tIoError {
  int Code = 0;
  std::string Message;
};

// Codes of the error table that the file layer produces itself.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoInvalidName = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoDeviceNotReady = 21;
inline constexpr int kIoUnexpectedEof = 100;
inline constexpr int kIoDiskFull = 101;

// The tIoError for a system error number.
tIoError IoErrorFromErrno(int error_number);

// The lower-case phrase for an error: the table's text for a known code, otherwise the error's own
// message in lower case.
std::string IoErrorText(const tIoError& error);

}  // namespace glycomb
