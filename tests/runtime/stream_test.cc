#include "runtime/stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/console.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

std::string TempPath(const std::string& name) {
  std::filesystem::create_directories(TABDUMP_TEST_TMP);
  return std::string(TABDUMP_TEST_TMP) + "/" + name;
}

TEST(FileStream, WritesBuffersAndReadsBack) {
  const std::string path = TempPath("stream.bin");
  std::string big(700'000, 'x');  // larger than the buffer
  {
    FileStream out(path, FileStream::Mode::kCreate);
    out.WriteText("head");
    out.WriteText(big);
    out.WriteText("tail");
    out.Flush();
    EXPECT_EQ(out.Size(), 700'008);
  }
  FileStream in(path, FileStream::Mode::kOpenRead);
  EXPECT_EQ(in.Size(), 700'008);
  char head[4];
  EXPECT_EQ(in.Read(head, 4), 4u);
  EXPECT_EQ(std::string(head, 4), "head");
  in.SetPosition(700'004);
  char tail[10];
  EXPECT_EQ(in.Read(tail, 10), 4u);  // a short read is not an error
  EXPECT_EQ(std::string(tail, 4), "tail");
  EXPECT_EQ(in.Position(), 700'008);
}

TEST(FileStream, OpenAndCreateErrorsNameTheFile) {
  try {
    FileStream in(TempPath("no-such-file"), FileStream::Mode::kOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + TempPath("no-such-file"));
  }
  try {
    FileStream out(TempPath("no-such-dir/x.txt"), FileStream::Mode::kCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + TempPath("no-such-dir/x.txt"));
  }
}

TEST(FileStream, FileExistsIgnoresDirectories) {
  EXPECT_FALSE(FileExists(TABDUMP_TEST_TMP));
  const std::string path = TempPath("exists.txt");
  std::ofstream(path) << "x";
  EXPECT_TRUE(FileExists(path));
}

TEST(ExceptionReport, NamesClassModuleAndEndsWithAFullStop) {
  const std::string report = FormatExceptionReport(EVariantError("Invalid variant type conversion"), "tabdump");
  EXPECT_TRUE(report.starts_with("Exception EVariantError in module tabdump at ")) << report;
  const std::string end(kMessageLineEnd);
  EXPECT_TRUE(report.ends_with("." + end + "Invalid variant type conversion." + end)) << report;
  const std::string already = FormatExceptionReport(EZelCryptException("Encrypted."), "tabdump");
  EXPECT_TRUE(already.ends_with(end + "Encrypted." + end)) << already;
}

TEST(ExceptionReport, FileNameWithoutDirectory) {
  EXPECT_EQ(ExtractFileName("C:\\tools\\TABDUMP.EXE"), "TABDUMP.EXE");
  EXPECT_EQ(ExtractFileName("/usr/bin/tabdump"), "tabdump");
  EXPECT_EQ(ExtractFileName("tabdump"), "tabdump");
}

}  // namespace
}  // namespace tabdump
