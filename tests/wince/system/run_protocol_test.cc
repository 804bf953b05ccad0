// The run folder's entry files and socket lines: what one process writes, another must read back
// exactly, and anything torn or foreign must be refused rather than half-read.
#include "system/run_protocol.h"

#include <gtest/gtest.h>

namespace {

using wce::RunReply;
using wce::RunRequest;

wce::PublishedProgram Sample() {
  wce::PublishedProgram p;
  p.pid = 4242;
  p.program = u"\\Storage Card\\Upgrade\\KEPLA.exe";
  p.windows.push_back({0x20001, u"KEPLA_WINDOW_CLASS", u"ZQV"});
  p.windows.push_back({0x20005, u"Dialog", u"Préparation “ok”"});
  p.events = {u"UNPACK_DATA_ABORT", u"UNPACK_DATA_FAIL"};
  return p;
}

TEST(RunProtocolTest, EntryRoundTripsAndTornEntriesAreRefused) {
  const std::string text = wce::EncodeProgram(Sample());
  auto back = wce::DecodeProgram(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pid, 4242);
  EXPECT_EQ(back->program, Sample().program);
  ASSERT_EQ(back->windows.size(), 2u);
  EXPECT_EQ(back->windows[1].hwnd, 0x20005u);
  EXPECT_EQ(back->windows[1].title, u"Préparation “ok”");
  EXPECT_EQ(back->events, Sample().events);

  // A reader that catches a file half-written must not take it for a shorter entry.
  const std::string body = text.substr(0, text.find_last_not_of("\n") + 1);
  for (std::size_t n = 0; n < body.size(); ++n) {
    EXPECT_FALSE(wce::DecodeProgram(body.substr(0, n))) << "prefix of " << n << " bytes";
  }
  EXPECT_FALSE(wce::DecodeProgram(R"({"pid": 0, "program": "", "windows": [], "events": []})"));
  EXPECT_FALSE(wce::DecodeProgram(R"({"pid": 7, "program": "", "windows": [{}], "events": []})"));
  EXPECT_FALSE(wce::DecodeProgram(R"([1, 2])"));
}

TEST(RunProtocolTest, RequestsAndRepliesRoundTrip) {
  RunRequest send;
  send.op = RunRequest::Op::kSend;
  send.hwnd = 0x20001;
  send.msg = 0x0010;  // WM_CLOSE
  send.wparam = 0xFFFFFFFFFFFFFFFFull;
  send.lparam = -2;
  auto back = wce::DecodeRequest(wce::EncodeRequest(send));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->op, RunRequest::Op::kSend);
  EXPECT_EQ(back->hwnd, send.hwnd);
  EXPECT_EQ(back->msg, send.msg);
  EXPECT_EQ(back->wparam, send.wparam);
  EXPECT_EQ(back->lparam, -2);
  EXPECT_EQ(wce::EncodeRequest(send).find('\n'), std::string::npos) << "one line per request";

  RunRequest signal;
  signal.op = RunRequest::Op::kSetEvent;
  signal.name = u"ÉVÉNEMENT";
  back = wce::DecodeRequest(wce::EncodeRequest(signal));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name, u"ÉVÉNEMENT");

  EXPECT_FALSE(wce::DecodeRequest(R"({"op":"send","hwnd":1})")) << "a send needs its message";
  EXPECT_FALSE(wce::DecodeRequest(R"({"op":"format"})"));
  EXPECT_FALSE(wce::DecodeRequest("garbage"));

  auto reply = wce::DecodeReply(wce::EncodeReply(RunReply{true, -7}));
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->ok);
  EXPECT_EQ(reply->result, -7);
  EXPECT_FALSE(wce::DecodeReply(R"({"ok":true})"));
}

}  // namespace
