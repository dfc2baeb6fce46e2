// What one definition costs the PPD writer: four channels of 256 table entries.
#include <benchmark/benchmark.h>

#include "model/tone_curve.h"

namespace {

void BM_TransferTablesOfOneDefinition(benchmark::State& state) {
  tonalis::DensityDef def = tonalis::NewDefinition();
  const auto gamma = tonalis::ApplyGamma(220);
  for (int c = 0; c < 4; ++c)
    for (int i = 0; i < 13; ++i) def.channels[c].points[i] = gamma[i] + (i > 0 && i < 12 ? c : 0);
  for (auto _ : state) {
    for (const auto& channel : def.channels) {
      auto table = tonalis::TransferTable(channel);
      benchmark::DoNotOptimize(table);
    }
  }
  state.SetItemsProcessed(state.iterations() * 4 * 256);
}
BENCHMARK(BM_TransferTablesOfOneDefinition);

}  // namespace

BENCHMARK_MAIN();
