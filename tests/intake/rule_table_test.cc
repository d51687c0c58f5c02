// The classification table walked row by row through the simulated home screen: iOS 9 unlocked
// (publish rules), iOS 9 locked (publish, then lock-screen add rules) and iOS 10 (request rules).
#include <gtest/gtest.h>

#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

enum class Way { Ios9Unlocked, Ios9Locked, Ios10 };

struct Row {
  const char* name;
  Way way;
  IncomingNotification note;
  std::vector<Category> runningBefore = {};
  std::vector<std::string> switchedOff = {};
  const char* expected = "";
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

sim::WorldConfig configOf(Way w) {
  return {.release = w == Way::Ios10 ? "10.3" : "9.3", .startLocked = w == Way::Ios9Locked};
}

pl::Dict local(std::initializer_list<std::pair<const std::string, pl::Value>> entries) {
  return pl::Dict(entries);
}

class RuleTable : public ::testing::TestWithParam<Row> {};

TEST_P(RuleTable, StartsRestartsLeavesOrClearsAsTheTableSays) {
  const Row& row = GetParam();
  pl::Dict settings = allSwitchesOn();
  for (const std::string& key : row.switchedOff) settings[key] = false;
  IntakeWorld w(configOf(row.way), settings);
  for (Category c : row.runningBefore) w.startAsIntakeDoes(c);
  w.rec.clear();
  w.deliver(row.note);
  EXPECT_EQ(w.effects(), row.expected) << w.decisions(row.note.bundleId);
}

constexpr auto U = Way::Ios9Unlocked;
constexpr auto L = Way::Ios9Locked;
constexpr auto T = Way::Ios10;
const char* const kPhone = "com.apple.mobilephone";
const char* const kWhatsApp = "net.whatsapp.WhatsApp";
const char* const kMessenger = "com.facebook.Messenger";
const char* const kViber = "com.viber";
const char* const kThreema = "ch.threema.iapp";

// One row per line or two, as the written table reads.
// clang-format off
const Row kRows[] = {
    {"CallPublishOnlySaves", U, {.bundleId = kPhone}, {}, {}, "| A:call C:call"},
    {"CallRequestReplacesWithoutClearing", T, {.bundleId = kPhone}, {Category::Call}, {},
     "armed:call shown:quorvel.QVCALL | A:call C:call"},
    {"FaceTimeRequestSwitchedOff", T, {.bundleId = "com.apple.facetime"}, {}, {"globalCall"}, "| A:call C:call"},
    {"SmsWithoutBadge", U, {.bundleId = "com.apple.MobileSMS", .badge = 0}},
    {"SmsWithBadge", U, {.bundleId = "com.apple.MobileSMS", .badge = 3}, {}, {},
     "armed:SMS shown:quorvel.QVSMS | A:SMS C:SMS"},
    {"SmsRequestReplaces", T, {.bundleId = "com.apple.MobileSMS", .badge = 1}, {Category::Sms}, {},
     "armed:SMS shown:quorvel.QVSMS | A:SMS C:SMS"},
    {"MailPublishWithBadge", U, {.bundleId = "com.apple.mobilemail", .badge = 1}, {}, {},
     "armed:mail shown:quorvel.QVMAIL | A:mail"},
    {"MailPublishWithoutBadgeSavesOnly", U, {.bundleId = "com.apple.mobilemail"}, {}, {}, "| A:mail"},
    {"MailListedWhileRunningIsLeft", L, {.bundleId = "com.apple.mobilemail", .badge = 1}, {Category::Mail}, {},
     "armed:mail shown:quorvel.QVMAIL | A:mail"},
    {"MailRequestClearsWhateverTheSettings", T, {.bundleId = "com.apple.mobilemail", .badge = 1}, {Category::Mail},
     {"globalMail"}, "cleared:mail"},
    {"MailRequestRestarts", T, {.bundleId = "com.apple.mobilemail", .badge = 1}, {Category::Mail}, {},
     "cleared:mail armed:mail shown:quorvel.QVMAIL | A:mail"},
    {"WhatsAppPublishOnlySaves", U, {.bundleId = kWhatsApp, .localPayload = local({{"missed-call-jid", "49"}})}, {},
     {}, "| A:WhatsApp call C:WhatsApp call"},
    {"WhatsAppListedMissedCallAndMessage", L,
     {.bundleId = kWhatsApp, .localPayload = local({{"missed-call-jid", "49"}, {"jid", "49"}})}, {}, {},
     "armed:WhatsApp call shown:quorvel.WHCall armed:WhatsApp message shown:quorvel.WHMess"
     " | A:WhatsApp call C:WhatsApp call C:WhatsApp message"},
    {"WhatsAppListedJidsOfAnyType", L,
     {.bundleId = kWhatsApp, .localPayload = local({{"missed-call-jid", std::int64_t{49151}}, {"jid", pl::Dict{}}})},
     {}, {}, "armed:WhatsApp call shown:quorvel.WHCall armed:WhatsApp message shown:quorvel.WHMess"
     " | A:WhatsApp call C:WhatsApp call C:WhatsApp message"},
    {"WhatsAppListedIncomingCallClears", L,
     {.bundleId = kWhatsApp, .localPayload = local({{"incoming-call-jid", "49"}})},
     {Category::WhatsAppCall}, {}, "cleared:WhatsApp call | A:WhatsApp call"},
    {"WhatsAppListedIncomingCallIsClearedBeforeTheMissedCallStarts", L,
     {.bundleId = kWhatsApp, .localPayload = local({{"missed-call-jid", "49"}, {"incoming-call-jid", "49"}})},
     {Category::WhatsAppCall}, {},
     "cleared:WhatsApp call armed:WhatsApp call shown:quorvel.WHCall | A:WhatsApp call C:WhatsApp call"},
    {"WhatsAppListedRemoteMissedCallIgnoresLocal", L,
     {.bundleId = kWhatsApp, .remotePayload = aps("missed-call"), .localPayload = local({{"jid", "49"}})},
     {Category::WhatsAppCall}, {},
     "cleared:WhatsApp call armed:WhatsApp call shown:quorvel.WHCall"
     " | A:WhatsApp call C:WhatsApp call C:WhatsApp message"},
    {"WhatsAppRequestMissedCallRestarts", T, {.bundleId = kWhatsApp, .categoryIdentifier = "missed-call"},
     {Category::WhatsAppCall}, {},
     "cleared:WhatsApp call armed:WhatsApp call shown:quorvel.WHCall | A:WhatsApp call C:WhatsApp call"},
    {"WhatsAppRequestMessageSwitchedOffStillClears", T, {.bundleId = kWhatsApp, .categoryIdentifier = "message"},
     {Category::WhatsAppMessage}, {"imSMSWats"}, "cleared:WhatsApp message | A:WhatsApp call C:WhatsApp message"},
    {"WhatsAppRequestWithoutGlobalIm", T, {.bundleId = kWhatsApp, .categoryIdentifier = "missed-call"}, {},
     {"globalIm"}, "| A:WhatsApp call"},
    {"MessengerCallBackWithoutIncomingCall", U, {.bundleId = kMessenger, .remotePayload = aps("callback_message")}},
    {"MessengerCallBackListed", L, {.bundleId = kMessenger, .remotePayload = aps("callback_message")}, {}, {},
     "armed:Messenger call shown:quorvel.FBMCall | C:Messenger call"},
    {"MessengerMessagePublished", U, {.bundleId = kMessenger, .localPayload = aps("reply_mute")}, {}, {},
     "armed:Messenger message shown:quorvel.FBMess | A:Messenger message C:Messenger message"},
    {"MessengerIncomingCallClears", U, {.bundleId = kMessenger, .localPayload = local({{"type", "webrtc_incoming"}})},
     {Category::MessengerCall}, {}, "cleared:Messenger call"},
    {"MessengerRequestAcceptDeclineClears", T, {.bundleId = kMessenger, .categoryIdentifier = "accept_decline"},
     {Category::MessengerCall}, {}, "cleared:Messenger call"},
    {"MessengerRequestCallBackShowsBeforeItStarts", T,
     {.bundleId = kMessenger, .categoryIdentifier = "callback_message"}, {}, {},
     "shown:quorvel.FBMCall armed:Messenger call | A:Messenger call C:Messenger call"},
    {"MessengerRequestMessage", T, {.bundleId = kMessenger, .categoryIdentifier = "reply_mute"}, {}, {},
     "armed:Messenger message shown:quorvel.FBMess | A:Messenger message C:Messenger message"},
    {"TelegramPublished", U, {.bundleId = "ph.telegra.Telegraph"}, {}, {},
     "armed:Telegram message shown:quorvel.TGMess | A:Telegram message C:Telegram message"},
    {"TelegramSwitchedOffOnlySaves", U, {.bundleId = "ph.telegra.Telegraph"}, {}, {"imSMSTeleg"},
     "| A:Telegram message C:Telegram message"},
    {"TelegramRequestRestarts", T, {.bundleId = "ph.telegra.Telegraph"}, {Category::TelegramMessage}, {},
     "cleared:Telegram message armed:Telegram message shown:quorvel.TGMess | A:Telegram message C:Telegram message"},
    {"ThreemaNewMessage", U,
     {.bundleId = kThreema, .remotePayload = local({{"threema", pl::Dict{{"cmd", "newmsg"}}}})}, {}, {},
     "armed:Threema message shown:quorvel.QVTHrema | A:Threema message"},
    {"ThreemaOtherCommand", U, {.bundleId = kThreema, .remotePayload = local({{"threema", pl::Dict{{"cmd", "read"}}}})},
     {}, {}, "| A:Threema message"},
    {"ThreemaRequest", T, {.bundleId = kThreema}, {}, {},
     "armed:Threema message shown:quorvel.QVTHrema | A:Threema message"},
    {"ViberLocalMissedCall", U, {.bundleId = kViber, .localPayload = local({{"category", "CAT_MISSED_CALL"}})}, {},
     {}, "armed:Viber call shown:quorvel.QVVIPCALL | A:Viber call C:Viber call"},
    {"ViberLocalIncomingCallClears", U,
     {.bundleId = kViber, .localPayload = local({{"category", "CAT_INCOMING_CALL"}})}, {Category::ViberCall}, {},
     "cleared:Viber call"},
    {"ViberRemoteIncomingCallMeansNothing", U, {.bundleId = kViber, .remotePayload = aps("CAT_INCOMING_CALL")},
     {Category::ViberCall}},
    {"ViberRemoteMessageWhileRunningIsLeft", U, {.bundleId = kViber, .remotePayload = aps("CAT_INCOMING_MESSAGE")},
     {Category::ViberMessage}, {}, "| A:Viber message C:Viber message"},
    {"ViberListedMessage", L, {.bundleId = kViber, .remotePayload = aps("CAT_INCOMING_MESSAGE")}, {}, {},
     "armed:Viber message shown:quorvel.QVVIPMESS | A:Viber message C:Viber message"},
    {"ViberRequestMissedCall", T, {.bundleId = kViber, .categoryIdentifier = "CAT_MISSED_CALL"}, {Category::ViberCall},
     {}, "cleared:Viber call armed:Viber call shown:quorvel.QVVIPCALL | A:Viber call C:Viber call"},
    {"ViberRequestIncomingCall", T, {.bundleId = kViber, .categoryIdentifier = "CAT_INCOMING_CALL"},
     {Category::ViberCall}, {}, "cleared:Viber call"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, RuleTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::intake::testing
