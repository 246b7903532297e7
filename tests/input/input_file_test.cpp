// The entry of the reading: a table from a file or a pipe, plain or compressed, within the memory
// the run may use.
#include "input/input_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "table_files.h"

using namespace histchart;

using namespace table_files;

TEST(InputFile, StreamsLongLinesAndWordsThroughItsBufferWithinTheRoomForWords) {
  // Several buffers' worth, and a header line and a word each longer than the read buffer.
  const std::string text =
      std::string(1500000, 'h') + example_table(150) + "1 " + std::string(1200000, '7') + " 2 3";
  const ReferenceTable expected = canonical(reference_table(text));
  EXPECT_TRUE(same(read(text, 1), expected));
  EXPECT_TRUE(same(read(text, 2), expected));
  // Under a limit that leaves 1 MiB for a word beyond the read buffer, a 3 MB header line costs
  // nothing, and a 3 MB word does not fit; where 2 MiB are left, a word just under them fits
  // however far into the file it starts, as it does from a pipe.
  const std::string big(3000000, 'w');
  for (const auto& [table, megabytes, fits] :
       {std::tuple{big + "\nh\nh\n", 8, true}, std::tuple{"h\nh\nh\n1 " + big + " 2\n", 8, false},
        std::tuple{big + "\nh\nh\n1 " + std::string(2000000, '7') + " 2\n", 16, true}}) {
    const std::string path = write_file("long.txt", table);
    ReadOptions options;
    options.memory_limit = kRunOverhead + (std::size_t(megabytes) << 20);
    TableReading reading;
    const MaybeFailure failure = InputFile(path).read(options, reading);
    EXPECT_EQ(failure ? failure->line() : "",
              fits ? ""
                   : "histchart: out of memory reading '" + path +
                         "': a field of 3 MB on line 4 is longer than the memory allows")
        << megabytes;
    std::filesystem::remove(path);
  }
}

TEST(InputFile, TellsACompressedTableWhoseMagicComesDownAPipeAByteAtATime) {
  const std::string text = "h\nh\nh\n1 2 3 4 5 6 7 8\n2 3 4 5 6 7 8 9\n", file = stored_gzip(text);
  TableReading reading;
  MaybeFailure failure;
  {
    const SlowPipe pipe({file.substr(0, 1), file.substr(1, 1), file.substr(2, 1), file.substr(3, 1),
                         file.substr(4)});
    failure = InputFile("/proc/self/fd/" + std::to_string(pipe.fd())).read({}, reading);
  }
  EXPECT_FALSE(failure) << failure->line();
  EXPECT_TRUE(same(table_of(reading), canonical(reference_table(text))));
}
