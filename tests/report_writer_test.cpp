#include <gtest/gtest.h>

#include <string>

#include "fake_storage.h"
#include "survey/report_writer.h"

namespace quillbrane {
namespace {

using test::MemorySink;

TEST(ReportWriterTest, WritesCrLfLineEndsAndFlushesOnClose) {
  MemorySink sink;
  ReportWriter report(sink);
  report.Write("a");
  report.WriteLine("b");
  report.WriteLine();
  EXPECT_EQ(sink.written, "");  // still buffered
  EXPECT_TRUE(report.Close());
  EXPECT_EQ(sink.written, "ab\r\n\r\n");
  EXPECT_TRUE(sink.closed);
}

TEST(ReportWriterTest, FlushesWhenTheBufferFills) {
  MemorySink sink;
  ReportWriter report(sink);
  const std::string block(ReportBufferSize, 'x');
  report.Write(block);
  EXPECT_EQ(sink.written.size(), ReportBufferSize);
  report.Write("tail");
  EXPECT_TRUE(report.Close());
  EXPECT_EQ(sink.written, block + "tail");
  EXPECT_EQ(sink.writes, 2);
}

TEST(ReportWriterTest, TextThatFitsTheBufferExactlyIsWrittenOnce) {
  MemorySink sink;
  ReportWriter report(sink);
  report.Write(std::string(ReportBufferSize - 2, 'y'));
  report.WriteLine();
  EXPECT_TRUE(report.Close());
  EXPECT_EQ(sink.written.size(), ReportBufferSize);
  EXPECT_EQ(sink.writes, 1);
}

TEST(ReportWriterTest, AFailedFlushIsKeptAndLaterWritesAreDropped) {
  MemorySink sink;
  sink.capacity = 100;
  ReportWriter report(sink);
  report.Write(std::string(ReportBufferSize + 10, 'z'));
  EXPECT_TRUE(report.Failed());
  EXPECT_EQ(report.ErrorCode(), 112u);
  report.WriteLine("more");
  EXPECT_FALSE(report.Close());
  EXPECT_EQ(report.ErrorCode(), 112u);
  EXPECT_EQ(sink.written, std::string(100, 'z'));  // what reached the file stays
  EXPECT_EQ(sink.writes, 1);
}

TEST(ReportWriterTest, AFailureOfTheLastFlushIsAFailure) {
  MemorySink sink;
  sink.capacity = 3;
  ReportWriter report(sink);
  report.WriteLine("hello");
  EXPECT_FALSE(report.Failed());
  EXPECT_FALSE(report.Close());
  EXPECT_EQ(report.ErrorCode(), 112u);
}

TEST(ReportWriterTest, AFailedCloseIsAFailure) {
  MemorySink sink;
  sink.closeCode = 1117;
  ReportWriter report(sink);
  report.WriteLine("x");
  EXPECT_FALSE(report.Close());
  EXPECT_EQ(report.ErrorCode(), 1117u);
}

}  // namespace
}  // namespace quillbrane
