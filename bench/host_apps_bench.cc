// Costs of the host layer's simulated apps and status bar, with the library loaded, so a
// scenario's thousands of app switches and icon changes stay cheap.
#include <benchmark/benchmark.h>

#include "platform/host/messages.h"
#include "sim/world.h"

namespace qv {
namespace {

namespace msg = host::msg;

// WhatsApp returns to the foreground and leaves again: delegate, really variants, controllers,
// and the library's hooks on them.
void BM_WhatsAppForegroundRoundTrip(benchmark::State& state) {
  sim::World world;
  apps::App& whatsApp = world.app("net.whatsapp.WhatsApp");
  (void)whatsApp.launch();
  for (auto _ : state) {
    (void)whatsApp.enterBackground();
    (void)whatsApp.enterForeground();
  }
}
BENCHMARK(BM_WhatsAppForegroundRoundTrip);

// A status-bar item is made, shown and hidden, as a reminder's start and clear do.
void BM_StatusIconShowAndHide(benchmark::State& state) {
  sim::World world;
  objc::Class* cls = world.springBoard().host.runtime().getClass("LSStatusBarItem");
  for (auto _ : state) {
    objc::Id item = host::send(host::send(cls, msg::alloc), msg::initWithIdentifierAlignment, "quorvel.QVSMS", 2);
    host::send(item, msg::setImageName, "QVSMS");
    host::send(item, msg::setVisible, true);
    host::send(item, msg::setVisible, false);
  }
}
BENCHMARK(BM_StatusIconShowAndHide);

// An unanswered call: four posts through the call manager and its hook.
void BM_MissedCall(benchmark::State& state) {
  sim::World world;
  telephony::CallManager& calls = world.calls();
  for (auto _ : state) {
    (void)calls.incomingCall("Anna");
    (void)calls.callerHangsUp();
  }
}
BENCHMARK(BM_MissedCall);

}  // namespace
}  // namespace qv

