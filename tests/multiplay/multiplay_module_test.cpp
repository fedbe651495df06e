// The multiplay commands in this process: the started checks in every mode, names of
// unknown players, the send buffer's growth, a failed host followed by a new one, and
// messages between two local players that are never reported.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "multiplay/multiplay_state.h"
#include "runtime/modules.h"
#include "tests/host/recording_debugger.h"
#include "tests/multiplay/peer_process.h"

namespace {

using namespace multiplaycmd;

class MultiplayTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    currentRuntime = runtime;
    setenv("KS_NETPLAY_QUERY_PORT", std::to_string(freeUdpPort()).c_str(), 1);
    ASSERT_TRUE(multiplay_create());
  }
  void TearDown() override {
    multiplay_destroy();
    unsetenv("KS_NETPLAY_QUERY_PORT");
    currentRuntime = nullptr;
    HostTest::TearDown();
  }

  static ksStr* str(const std::string& text) { return ksStrNew(text); }
};

std::vector<std::string> linked;

TEST(MultiplayRegistration, FourteenCommandsWithTheirExactSignatures) {
  linked.clear();
  multiplay_link([](CommandSignature signature, void* entry) {
    EXPECT_NE(entry, nullptr);
    linked.push_back(signature);
  });
  EXPECT_EQ(linked, (std::vector<std::string>{
                        "%StartNetGame", "%HostNetGame$game_name", "%JoinNetGame$game_name$ip_address",
                        "StopNetGame", "%CreateNetPlayer$name", "DeleteNetPlayer%player", "$NetPlayerName%player",
                        "%NetPlayerLocal%player", "%SendNetMsg%type$msg%from_player%to_player=0%reliable=1",
                        "%RecvNetMsg", "%NetMsgType", "%NetMsgFrom", "%NetMsgTo", "$NetMsgData"}));
}

TEST_F(MultiplayTest, CommandsWithoutASessionRaiseNotStartedInEveryMode) {
  const int strings = ksStrActiveCount();
  for (bool debug : {false, true}) {
    debugMode = debug;
    EXPECT_EQ(errorOf([] { createNetPlayer(str("x")); }), "Multiplayer game not started");
    EXPECT_EQ(errorOf([] { deleteNetPlayer(1); }), "Multiplayer game not started");
    EXPECT_EQ(errorOf([] { sendNetMsg(1, str("x"), 1, 0, 1); }), "Multiplayer game not started");
    EXPECT_EQ(errorOf([] { recvNetMsg(); }), "Multiplayer game not started");
    EXPECT_EQ(errorOf([] { stopNetGame(); }), "");
  }
  debugMode = false;
  EXPECT_EQ(ksStrActiveCount(), strings);  // every string argument was released
}

TEST_F(MultiplayTest, PlayerNamesOfAllAndOfUnknownIds) {
  EXPECT_EQ(ksStrTake(netPlayerName(0)), "<all>");
  EXPECT_EQ(ksStrTake(netPlayerName(12345)), "<unknown>");
  EXPECT_EQ(netPlayerLocal(12345), 0);
}

TEST_F(MultiplayTest, FailedHostLeavesNoSessionAndANewHostWorks) {
  EXPECT_EQ(hostNetGame(str(std::string(kMaxNetName + 1, 'n'))), 0);
  EXPECT_EQ(errorOf([] { recvNetMsg(); }), "Multiplayer game not started");
  EXPECT_EQ(hostNetGame(str("second try")), 2);
  EXPECT_EQ(errorOf([] { hostNetGame(str("again")); }), "Multiplayer game already started");
  EXPECT_EQ(errorOf([] { joinNetGame(str("again"), str("127.0.0.1")); }), "Multiplayer game already started");
  EXPECT_EQ(errorOf([] { startNetGame(); }), "Multiplayer game already started");
  // The session can be found on this computer under its name.
  const auto found = findSessions(QueryTarget::ThisComputer, "", 1500);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "second try");
  stopNetGame();
  EXPECT_EQ(hostNetGame(str("third")), 2);
}

TEST_F(MultiplayTest, LongMessageGrowsTheSendBufferByHalf) {
  ASSERT_EQ(hostNetGame(str("long")), 2);
  const int32_t a = createNetPlayer(str("a"));
  const int32_t b = createNetPlayer(str("b"));
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_EQ(multiplayState.sendBuffer.size(), 1024u);
  EXPECT_EQ(sendNetMsg(3, str(std::string(1015, 'y')), a, b, 1), 1);
  EXPECT_EQ(multiplayState.sendBuffer.size(), 1024u);  // exactly fits
  EXPECT_EQ(sendNetMsg(3, str(std::string(2000, 'x')), a, b, 1), 1);
  EXPECT_EQ(multiplayState.sendBuffer.size(), 3013u);
  // Both were between players of this machine: never reported.
  EXPECT_EQ(recvNetMsg(), 0);
  EXPECT_EQ(netMsgType(), 0);
  EXPECT_EQ(netMsgFrom(), -1);
  EXPECT_EQ(ksStrTake(netPlayerName(a)), "a");
  EXPECT_EQ(netPlayerLocal(a), 1);
}

TEST_F(MultiplayTest, DeletedPlayerIsForgottenAndFromAnotherMachineCannotSend) {
  ASSERT_EQ(hostNetGame(str("delete")), 2);
  const int32_t a = createNetPlayer(str("a"));
  deleteNetPlayer(a);
  EXPECT_EQ(ksStrTake(netPlayerName(a)), "<unknown>");
  EXPECT_EQ(sendNetMsg(1, str("x"), a, 0, 1), 0);
  deleteNetPlayer(99999);  // unknown: ignored
  EXPECT_EQ(sendNetMsg(1, str("x"), 0x7FFF0001, 0, 1), 0);
}

TEST_F(MultiplayTest, ReceivedMessagesFromAnotherSessionPeer) {
  ASSERT_EQ(hostNetGame(str("two here")), 2);
  const int32_t local = createNetPlayer(str("local"));
  // A second peer in this process, on the session layer itself.
  const auto found = findSessions(QueryTarget::ThisComputer, "", 1500);
  ASSERT_EQ(found.size(), 1u);
  std::unique_ptr<NetSession> other = NetSession::join(found[0]);
  ASSERT_NE(other, nullptr);
  const uint32_t remote = other->createPlayer("remote");
  uint8_t short_[5] = {1, 2, 3, 4, 5};
  EXPECT_TRUE(other->send(remote, 0, true, short_, sizeof short_));  // shorter than the header
  std::vector<uint8_t> spoofed(9 + 2, 'z');
  spoofed[0] = uint8_t(local);  // a header naming this machine's player as its sender
  spoofed[1] = uint8_t(local >> 8);
  spoofed[2] = uint8_t(local >> 16);
  spoofed[3] = uint8_t(local >> 24);
  std::fill(spoofed.begin() + 4, spoofed.begin() + 8, 0);
  spoofed[8] = 4;
  EXPECT_TRUE(other->send(remote, 0, true, spoofed.data(), spoofed.size()));
  std::vector<uint8_t> good(9, 0);
  for (int i = 0; i < 4; ++i) {
    good[size_t(i)] = uint8_t(remote >> (8 * i));
  }
  good[8] = 0x80;
  good.push_back('o');
  good.push_back('k');
  EXPECT_TRUE(other->send(remote, 0, true, good.data(), good.size()));

  std::vector<int32_t> types;
  std::string data;
  for (int i = 0; i < 400 && types.size() < 2; ++i) {
    if (recvNetMsg()) {
      types.push_back(netMsgType());
      if (netMsgType() == -128) {
        data = ksStrTake(netMsgData());
        EXPECT_EQ(netMsgFrom(), int32_t(remote));
        EXPECT_EQ(netMsgTo(), 0);
      }
    } else {
      other->waitForMessage(20);
    }
  }
  ASSERT_EQ(types, (std::vector<int32_t>{100, -128}));
  EXPECT_EQ(data, "ok");
  other.reset();  // leaves in order: its player leaves, this machine stays host
  types.clear();
  for (int i = 0; i < 400 && types.empty(); ++i) {
    if (recvNetMsg()) {
      types.push_back(netMsgType());
      EXPECT_EQ(netMsgFrom(), int32_t(remote));
    } else {
      other.reset();
      usleep(20000);
    }
  }
  EXPECT_EQ(types, (std::vector<int32_t>{101}));
}

}  // namespace
