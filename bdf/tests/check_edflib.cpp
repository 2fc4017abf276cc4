// Checks a BDF file with EDFlib, the strict reader, against reference words
// (the files of check_mne.py):
//   bdf_check_edflib FILE REF.words [--prefix]   opens FILE and reads every
//       signal's digital samples, each equal to the reference word shifted
//       right by 8 (over the sweeps both hold with --prefix)
//   bdf_check_edflib FILE REF.words --cut        a cut file: EDFlib refuses
//       it; after the repair (the core of bdf_repair) it opens and reads as
//       above, up to its last whole record
// Prints one line and exits 0 when everything agrees.
#include <edflib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bdf/reader.h"

namespace {

int check(const char* path, const std::vector<int32_t>& ref, bool prefix) {
  edf_hdr_struct hdr;
  std::memset(&hdr, 0, sizeof hdr);
  if (edfopen_file_readonly(path, &hdr, EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) {
    std::printf("edflib: %s refused (error %d)\n", path, hdr.filetype);
    return 1;
  }
  const int channels = hdr.edfsignals;
  if (hdr.filetype != EDFLIB_FILETYPE_BDF || channels < 1 || ref.size() % static_cast<size_t>(channels) != 0) {
    std::printf("edflib: %s: type %d, %d signals, not the reference's\n", path, hdr.filetype, channels);
    edfclose_file(hdr.handle);
    return 1;
  }
  const long long n_ref = static_cast<long long>(ref.size()) / channels;
  const long long n_file = hdr.signalparam[0].smp_in_file;
  if (n_file != n_ref && !prefix) {
    std::printf("edflib: %s holds %lld sweeps, the reference %lld\n", path, n_file, n_ref);
    edfclose_file(hdr.handle);
    return 1;
  }
  const long long n = n_file < n_ref ? n_file : n_ref;
  std::vector<int> samples(static_cast<size_t>(n));
  for (int c = 0; c < channels; ++c) {
    if (edfread_digital_samples(hdr.handle, c, static_cast<int>(n), samples.data()) != n) {
      std::printf("edflib: %s: signal %d does not read\n", path, c + 1);
      edfclose_file(hdr.handle);
      return 1;
    }
    for (long long t = 0; t < n; ++t) {
      const int expected = ref[static_cast<size_t>(t * channels + c)] >> 8;
      if (samples[static_cast<size_t>(t)] != expected) {
        std::printf("edflib: %s: %s at sweep %lld reads %d instead of %d\n", path, hdr.signalparam[c].label, t + 1,
                    samples[static_cast<size_t>(t)], expected);
        edfclose_file(hdr.handle);
        return 1;
      }
    }
  }
  edfclose_file(hdr.handle);
  std::printf("edflib: %s: %lld sweeps x %d channels equal the reference (%lld records)\n", path, n, channels,
              hdr.datarecords_in_file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FILE REF.words [--prefix | --cut]\n", argv[0]);
    return 2;
  }
  const std::string option = argc > 3 ? argv[3] : "";
  std::ifstream in(argv[2], std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int32_t> ref(bytes.size() / 4);
  std::memcpy(ref.data(), bytes.data(), ref.size() * 4);
  if (option != "--cut") return check(argv[1], ref, option == "--prefix");

  edf_hdr_struct hdr;
  std::memset(&hdr, 0, sizeof hdr);
  if (edfopen_file_readonly(argv[1], &hdr, EDFLIB_DO_NOT_READ_ANNOTATIONS) == 0) {
    edfclose_file(hdr.handle);
    std::printf("edflib: %s opens before its repair\n", argv[1]);
    return 1;
  }
  std::printf("edflib: %s refused before its repair (error %d)\n", argv[1], hdr.filetype);
  bdf::RepairReport report;
  std::string error;
  if (!bdf::repair_file(argv[1], report, error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  return check(argv[1], ref, true);
}
