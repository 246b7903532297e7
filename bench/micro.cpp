// Micro-benchmarks of the hot paths: the reader over bytes in memory, the counting of one
// series into its bins, and one chart drawn into a GD image (no file).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "binning/bin_counter.h"
#include "chart/chart_layout.h"
#include "chart/chart_render.h"
#include "input/gathering.h"
#include "input/table_scanner.h"

namespace {

std::string table_text(long rows) {
  std::mt19937_64 rng(1);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::string text = "h\nh\nh\n";
  char field[32];
  for (long r = 0; r < rows; ++r) {
    text += std::to_string(r);
    for (int i = 0; i < 7; ++i) {
      std::snprintf(field, sizeof field, i % 2 ? "\t%.4f" : " %.2f", 100 * normal(rng));
      text += field;
    }
    text += "\n";
  }
  return text;
}

void BM_ReadTable(benchmark::State& state) {
  const std::string text = table_text(state.range(0));
  RowArena arena(static_cast<std::uint64_t>(state.range(0) + RowArena::kChunkRows) * sizeof(Row));
  for (auto _ : state) {
    Holder holder(arena);
    Tally tally;
    TableScanner scanner;
    MemoryStretch bytes(text, 0, true);
    gather(bytes, scanner, holder, tally, true);
    benchmark::DoNotOptimize(holder.size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadTable)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_CountBins(benchmark::State& state) {
  std::mt19937_64 rng(2);
  std::lognormal_distribution<double> lognormal(1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(state.range(0)));
  ValueRange range;
  for (double& v : values) range.add(v = lognormal(rng));
  for (auto _ : state) {
    BinCounter counter(range, static_cast<int>(state.range(1)));
    for (double v : values) counter.add(v);
    benchmark::DoNotOptimize(counter.bins().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CountBins)
    ->Args({1000000, 10})
    ->Args({1000000, 10000})
    ->Args({10000000, 10})
    ->Unit(benchmark::kMillisecond);

void BM_DrawChart(benchmark::State& state) {
  TextPen pen(HISTCHART_FONT);
  std::vector<Bin> bins;
  for (int i = 0; i < state.range(0); ++i) bins.emplace_back(1 + i % 17, i * 0.5, i * 0.5 + 0.5);
  FontCache fonts;
  for (auto _ : state) {
    gdImagePtr image = gdImageCreate(kImageWidth, kImageHeight);
    draw_chart(image, bins, "dSOC ( kg C/ha )", pen);
    gdImageDestroy(image);
  }
}
// The layout alone, to show that its share of a wide chart is small and linear in the bins.
void BM_LayoutChart(benchmark::State& state) {
  std::vector<Bin> bins;
  for (int i = 0; i < state.range(0); ++i) bins.emplace_back(1 + i % 17, i * 0.5, i * 0.5 + 0.5);
  for (auto _ : state) benchmark::DoNotOptimize(layout_chart(bins, "dSOC ( kg C/ha )").data());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutChart)->Arg(10)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);

BENCHMARK(BM_DrawChart)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
