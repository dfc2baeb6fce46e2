// What the printer tests share: the printers found over a spooler, and what was said.
#pragma once

#include <gtest/gtest.h>

#include "printers/printer_discovery.h"
#include "support/fixtures.h"
#include "support/scripted_interaction.h"

namespace tonalis::test {

struct DiscoveryFixture : ::testing::Test {
  // The queues listed when DiscoverPrinters returned `result`.
  Names Discover(Spooler& spooler, int result = 1, std::size_t room = SIZE_MAX) {
    discovery = {}, discovery.room = room;
    EXPECT_EQ(DiscoverPrinters(spooler, discovery, *list, services), result);
    Names out;
    for (const PrinterEntry& e : discovery.entries) out.push_back(e.queue);
    return out;
  }
  ScriptedInteraction ui;
  PpdServices services{ui};
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

}  // namespace tonalis::test
