#include "console/io_error.hpp"

#include <cerrno>
#include <cstring>

namespace glycomb {

tIoError IoErrorFromErrno(int error_number) {
  int code;
  switch (error_number) {
    case ENOENT: code = kIoFileNotFound; break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: code = kIoInvalidName; break;
    case EMFILE:
    case ENFILE: code = kIoTooManyOpenFiles; break;
    case EACCES:
    case EPERM:
    case EROFS: code = kIoAccessDenied; break;
    case EIO: code = kIoDeviceNotReady; break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: code = kIoDiskFull; break;
    default: code = -error_number; break;
  }
  return {code, std::strerror(error_number)};
}

std::string IoErrorText(const tIoError& error) {
  switch (error.Code) {
    case 2: return "file not found";
    case 3: return "invalid file name";
    case 4: return "too many open files";
    case 5: return "access denied";
    case 15: return "illegal drive specified";
    case 21: return "device not ready";
    case 100: return "unexpected end of file";
    case 101: return "insufficient disk space";
    case 102: return "internal file error: file not assigned";
    case 103: return "internal file error: file not opened";
    case 104: return "internal file error: file not opened for input";
    case 105: return "internal file error: file not opened for output";
    case 106: return "invalid input format";
    case 1235: return "device not ready";
    default: break;
  }
  std::string text = error.Message;
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace glycomb
