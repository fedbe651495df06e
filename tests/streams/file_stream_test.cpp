// File streams: the read buffer seen through ReadAvail and Eof, access modes,
// positions, switching between reading and writing, and the module's destroy sweep.
#include <sys/stat.h>

#include <string>

#include "basic/ks_str.h"
#include "streams/file_stream.h"
#include "streams/filesystem_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/temp_dir.h"

using namespace filecmd;
using namespace streamcmd;

namespace {

std::string take(ksStr* s) { return ksStrTake(s); }

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  }
  return bytes;
}

using FileStreamTest = TempDirTest;

TEST_F(FileStreamTest, AvailCountsOnlyTheReadBuffer) {
  put("big.bin", pattern(10000));
  const int32_t f = readFile(ksStrNew("big.bin"));
  ASSERT_NE(f, 0);
  EXPECT_EQ(readAvail(f), 0);
  EXPECT_EQ(readByte(f), 0);
  EXPECT_EQ(readAvail(f), 4095);
  EXPECT_EQ(eof(f), 0);
  EXPECT_EQ(seekFile(f, 9000), 9000);
  EXPECT_EQ(readAvail(f), 0);
  EXPECT_EQ(eof(f), 0);
  EXPECT_EQ(readAvail(f), 1000);  // the peek filled the buffer
  EXPECT_EQ(filePos(f), 9000);
  EXPECT_EQ(readAvail(f), 0);
  closeFile(f);
}

TEST_F(FileStreamTest, LargeAndMixedReadsDeliverTheFileInOrder) {
  const std::string bytes = pattern(20000);
  put("data.bin", bytes);
  FileStream* f = FileStream::open("data.bin", FileStream::Mode::Read);
  ASSERT_NE(f, nullptr);
  std::string got(20000, '\0');
  ASSERT_EQ(f->read(got.data(), 3), 3);
  ASSERT_EQ(f->read(got.data() + 3, 9000), 9000);
  ASSERT_EQ(f->read(got.data() + 9003, 4096), 4096);
  ASSERT_EQ(f->read(got.data() + 13099, 10000), 20000 - 13099);
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(f->eof(), 1);
  EXPECT_EQ(f->read(got.data(), 1), 0);
  delete f;
}

// CR and LF on both sides of the 4,096-byte buffer's edges, and a last line without LF.
TEST_F(FileStreamTest, ReadLineAcrossBufferEdges) {
  std::string text;
  std::vector<std::string> expected;
  auto add = [&](const std::string& body, const std::string& end) {
    text += body + end;
    std::string kept;
    for (char c : body + end) {
      if (c != '\r' && c != '\n') {
        kept += c;
      }
    }
    expected.push_back(kept);
  };
  add(std::string(4095, 'a'), "\r\n");         // CR ends the first buffer, LF starts the next
  add(std::string(4094, 'b'), "\n");            // LF is the last byte of the second buffer
  add(std::string(1, 'c'), "\r\r\n");
  add(std::string(10000, 'd') + "\rx", "\n");   // longer than a buffer, inner CR
  add("", "\n");
  add("tail\r", "");
  put("lines.txt", text);
  const int32_t f = readFile(ksStrNew("lines.txt"));
  ASSERT_NE(f, 0);
  for (const std::string& line : expected) {
    ASSERT_EQ(take(readLine(f)), line);
  }
  EXPECT_EQ(eof(f), 1);
  EXPECT_EQ(take(readLine(f)), "");
  EXPECT_EQ(seekFile(f, 4096), 4096);
  EXPECT_EQ(take(readLine(f)), "");  // the LF after the CR at 4,095
  EXPECT_EQ(take(readLine(f)), std::string(4094, 'b'));
  EXPECT_EQ(filePos(f), 8192);
  closeFile(f);
}

TEST_F(FileStreamTest, WriteOnlyFilesReportEndAndReadNothing) {
  const int32_t f = writeFile(ksStrNew("out.bin"));
  ASSERT_NE(f, 0);
  EXPECT_EQ(eof(f), 1);
  EXPECT_EQ(readInt(f), 0);
  EXPECT_EQ(readAvail(f), 0);
  for (int i = 0; i < 10; ++i) {
    writeByte(f, 'a' + i);
  }
  EXPECT_EQ(filePos(f), 10);
  EXPECT_EQ(seekFile(f, 4), 4);
  EXPECT_EQ(seekFile(f, -1), -1);
  EXPECT_EQ(filePos(f), 4);
  writeByte(f, 'X');
  closeFile(f);
  EXPECT_EQ(contents("out.bin"), "abcdXfghij");
}

TEST_F(FileStreamTest, ReadOnlyFilesAcceptNoWrites) {
  put("in.txt", "hello");
  const int32_t f = readFile(ksStrNew("in.txt"));
  ASSERT_NE(f, 0);
  writeInt(f, 0x41414141);
  EXPECT_EQ(readByte(f), 'h');
  writeLine(f, ksStrNew("more"));
  closeFile(f);
  EXPECT_EQ(contents("in.txt"), "hello");
}

TEST_F(FileStreamTest, OpenFileSwitchesDirectionAtTheProgramsPosition) {
  put("rw.txt", "abcdef");
  const int32_t f = openFile(ksStrNew("rw.txt"));
  ASSERT_NE(f, 0);
  EXPECT_EQ(readByte(f), 'a');
  writeByte(f, 'X');  // lands after the byte read, not after the read-ahead
  EXPECT_EQ(readByte(f), 'c');
  EXPECT_EQ(seekFile(f, 0), 0);
  EXPECT_EQ(take(readLine(f)), "aXcdef");
  EXPECT_EQ(seekFile(f, 10), 10);
  writeByte(f, 'Z');
  EXPECT_EQ(filePos(f), 11);
  closeFile(f);
  EXPECT_EQ(contents("rw.txt"), std::string("aXcdef\0\0\0\0Z", 11));
}

TEST_F(FileStreamTest, LargeWritesKeepTheirOrderWithBufferedOnes) {
  const std::string bytes = pattern(30000);
  FileStream* f = FileStream::open("w.bin", FileStream::Mode::Write);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->write(bytes.data(), 10), 10);
  EXPECT_EQ(f->write(bytes.data() + 10, 4090), 4090);
  EXPECT_EQ(f->write(bytes.data() + 4100, 20000), 20000);
  EXPECT_EQ(f->write(bytes.data() + 24100, 5900), 5900);
  delete f;
  EXPECT_EQ(contents("w.bin"), bytes);
}

TEST_F(FileStreamTest, MissingFilesAndDirectoriesDoNotOpen) {
  EXPECT_EQ(openFile(ksStrNew("missing.bin")), 0);
  EXPECT_EQ(readFile(ksStrNew("missing.bin")), 0);
  std::filesystem::create_directory("folder");
  EXPECT_EQ(readFile(ksStrNew("folder")), 0);
  EXPECT_EQ(openFile(ksStrNew("folder")), 0);
  EXPECT_EQ(writeFile(ksStrNew("no/such/dir.bin")), 0);
}

// A FIFO without a writer would block the open for ever, and a device could be read
// without end: files are regular files, refused at once otherwise.
TEST_F(FileStreamTest, OnlyRegularFilesOpen) {
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  EXPECT_EQ(readFile(ksStrNew("pipe")), 0);
  EXPECT_EQ(openFile(ksStrNew("pipe")), 0);
  EXPECT_EQ(writeFile(ksStrNew("pipe")), 0);
  EXPECT_EQ(readFile(ksStrNew("/dev/zero")), 0);
  EXPECT_EQ(writeFile(ksStrNew("/dev/null")), 0);
  put("plain.bin", "ab");
  const int32_t plain = readFile(ksStrNew("plain.bin"));
  EXPECT_NE(plain, 0);
  closeFile(plain);
}

TEST_F(FileStreamTest, CopyStreamIntoAFreshWriteFileCopiesNothing) {
  put("src.bin", pattern(100));
  const int32_t src = readFile(ksStrNew("src.bin"));
  const int32_t dst = writeFile(ksStrNew("dst.bin"));
  copyStream(src, dst, 16384);
  EXPECT_EQ(filePos(src), 0);
  closeFile(dst);
  EXPECT_EQ(contents("dst.bin"), "");

  // A destination with bytes left to peek at reports Eof 0 and takes the copy over them.
  put("dst.bin", std::string(200, 'x'));
  const int32_t into = openFile(ksStrNew("dst.bin"));
  copyStream(src, into, 7);
  closeFile(into);
  closeFile(src);
  EXPECT_EQ(contents("dst.bin"), pattern(100) + std::string(100, 'x'));
}

TEST_F(FileStreamTest, ClosingChecksHandlesInDebugModeOnly) {
  const int32_t f = writeFile(ksStrNew("c.bin"));
  closeFile(f);
  closeFile(f);  // outside debug mode: ignored
  closeFile(0);
  EXPECT_EQ(filePos(f), -1);
  EXPECT_EQ(seekFile(f, 0), -1);
  debugMode = true;
  try {
    closeFile(0);
    ADD_FAILURE() << "CloseFile of 0 raised nothing";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "File does not exist");
  }
  try {
    readByte(f);
    ADD_FAILURE() << "ReadByte on a closed file raised nothing";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "Stream does not exist");
  }
}

TEST_F(FileStreamTest, DestroyClosesAndFlushesOpenFiles) {
  const int32_t a = writeFile(ksStrNew("a.txt"));
  const int32_t b = openFile(ksStrNew("a.txt"));
  writeLine(a, ksStrNew("kept"));
  ASSERT_NE(b, 0);
  filesystem_destroy();
  EXPECT_FALSE(isLiveStream(reinterpret_cast<ksStream*>(a)));
  EXPECT_FALSE(isLiveStream(reinterpret_cast<ksStream*>(b)));
  EXPECT_EQ(contents("a.txt"), "kept\r\n");
  ASSERT_TRUE(filesystem_create());
}

}  // namespace
