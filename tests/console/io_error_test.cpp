#include "console/io_error.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace glycomb {
namespace {

TEST(IoErrorTextTest, TableCodesAndOwnMessages) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {2, "file not found"},       {3, "invalid file name"},
      {4, "too many open files"},  {5, "access denied"},
      {15, "illegal drive specified"}, {21, "device not ready"},
      {100, "unexpected end of file"}, {101, "insufficient disk space"},
      {102, "internal file error: file not assigned"},
      {103, "internal file error: file not opened"},
      {104, "internal file error: file not opened for input"},
      {105, "internal file error: file not opened for output"},
      {106, "invalid input format"},   {1235, "device not ready"},
  };
  for (const auto& c : cases) EXPECT_EQ(IoErrorText({c.code, "ignored"}), c.text) << c.code;
  EXPECT_EQ(IoErrorText({999, "Some ODD Message 7"}), "some odd message 7");
}

TEST(IoErrorTextTest, SystemErrorsMapOntoTheTable) {
  const struct {
    int error_number;
    const char* text;
  } cases[] = {
      {ENOENT, "file not found"},   {ENOTDIR, "invalid file name"},
      {ENAMETOOLONG, "invalid file name"}, {EMFILE, "too many open files"},
      {EACCES, "access denied"},    {EROFS, "access denied"},
      {EIO, "device not ready"},    {ENOSPC, "insufficient disk space"},
      {EFBIG, "insufficient disk space"},  // beyond the file size limit
      {EISDIR, "is a directory"},   // no table entry: the system's own message, lower case
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IoErrorText(IoErrorFromErrno(c.error_number)), c.text) << c.error_number;
  }
}

}  // namespace
}  // namespace glycomb
