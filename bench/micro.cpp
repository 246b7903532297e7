// Micro-benchmarks of the hot paths: the reader over bytes in memory, the counting of one
// series into its bins, and one chart drawn into a GD image (no file).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "binning/bin_counter.h"
#include "binning/bin_counting.h"
#include "chart/chart_layout.h"
#include "chart/chart_render.h"
#include "chart/text_pen.h"
#include "driver/histogram_job.h"
#include "input/gathering.h"
#include "input/records/field_scan.h"
#include "input/records/parse_value.h"
#include "input/records/table_scanner.h"

using namespace histchart;

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

// The second argument picks the instruction set white space is found with: the machine's best
// first, then the next (see scan_targets).
void BM_ReadTable(benchmark::State& state) {
  const auto targets = scan_targets();
  const auto which = static_cast<std::size_t>(state.range(1));
  if (which >= targets.size()) {
    state.SkipWithError("this machine has fewer instruction sets");
    return;
  }
  force_scan_target(targets[which]);
  state.SetLabel(scan_target_name(targets[which]));
  const std::string text = table_text(state.range(0));
  RowArena arena(static_cast<std::uint64_t>(state.range(0)) * RowArena::kMostRowBytes +
                 2 * RowArena::kChunkBytes);
  for (auto _ : state) {
    RowHolder holder(arena);
    Gathered gathered;
    TableScanner scanner;
    MemoryStretch bytes(text, 0, true);
    gather(bytes, scanner, holder, gathered, true);
    benchmark::DoNotOptimize(holder.size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadTable)
    ->ArgsProduct({{100000, 1000000}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);

// Fields alone, as the scanner meets them: the short form inline, and with an exponent or more
// than eight characters (the arguments: 0 short, 1 exponent, 2 long).
void BM_ParseFields(benchmark::State& state) {
  std::mt19937_64 rng(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::string text;
  std::vector<std::pair<std::size_t, std::size_t>> fields;
  char field[48];
  for (int i = 0; i < 100000; ++i) {
    const double v = 100 * normal(rng);
    const int n = state.range(0) == 0   ? std::snprintf(field, sizeof field, "%.4f", v)
                  : state.range(0) == 1 ? std::snprintf(field, sizeof field, "%.3e", v)
                                        : std::snprintf(field, sizeof field, "%.12f", v);
    fields.emplace_back(text.size(), text.size() + static_cast<std::size_t>(n));
    text.append(field, static_cast<std::size_t>(n)) += ' ';
  }
  text.append(kReadAhead, ' ');
  for (auto _ : state) {
    double sum = 0;
    for (const auto& [first, last] : fields) {
      sum += parse_short(text.data() + first, text.data() + last).number();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(fields.size()));
}
BENCHMARK(BM_ParseFields)->Arg(0)->Arg(1)->Arg(2);

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

// The held rows of a table counted into the bins of all seven series on one worker.
void BM_CountRows(benchmark::State& state) {
  std::mt19937_64 rng(3);
  std::lognormal_distribution<double> lognormal(1.0, 1.0);
  std::vector<Row> rows(static_cast<std::size_t>(state.range(0)));
  std::array<ValueRange, kSeriesCount> ranges;
  for (Row& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) ranges[i].add(row[i] = lognormal(rng));
  }
  for (auto _ : state) {
    BinCounting counting(ranges, static_cast<int>(state.range(1)), 1);
    counting.count(0, rows);
    std::array<std::vector<Bin>, kSeriesCount> bins;
    benchmark::DoNotOptimize(counting.bins(bins));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * kSeriesCount);
}
BENCHMARK(BM_CountRows)->Args({2000000, 10})->Args({2000000, 10000})->Unit(benchmark::kMillisecond);

void BM_DrawChart(benchmark::State& state) {
  HistogramJob job("", 1, HISTCHART_FONT, "");
  const ChartRoutines routines{
      [&job](gdImagePtr image, const char* text, int size, int x, int y, double angle) {
        job.draw_text(image, text, size, x, y, angle);
      },
      HistogramJob::axis_scale};
  std::vector<Bin> bins;
  for (int i = 0; i < state.range(0); ++i) bins.emplace_back(1 + i % 17, i * 0.5, i * 0.5 + 0.5);
  FontCache fonts;
  for (auto _ : state) {
    gdImagePtr image = gdImageCreate(kImageWidth, kImageHeight);
    draw_chart(image, bins, "dSOC ( kg C/ha )", routines);
    gdImageDestroy(image);
  }
}
// The layout alone, to show that its share of a wide chart is small and linear in the bins.
void BM_LayoutChart(benchmark::State& state) {
  std::vector<Bin> bins;
  for (int i = 0; i < state.range(0); ++i) bins.emplace_back(1 + i % 17, i * 0.5, i * 0.5 + 0.5);
  for (auto _ : state)
    benchmark::DoNotOptimize(
        layout_chart(bins, "dSOC ( kg C/ha )", HistogramJob::axis_scale).data());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutChart)->Arg(10)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);

BENCHMARK(BM_DrawChart)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
