// The certificate table of a signed PE file (its WIN_CERTIFICATE entries) as far
// as stamping needs it: where the last entry's signature ends, whether a token
// trailer follows it inside the entry, and the file rebuilt with another tail.
// Authenticode's digest leaves the whole table out, so bytes added to the last
// entry (its dwLength and the directory's size grown to match) keep the
// signature valid while staying the last bytes of the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "stamp/pe_image.h"

namespace kelvra::stamp {

struct CertificateTable {
  // Why the table can't carry a trailer; empty when it can.
  std::string problem;
  std::size_t lastEntryOffset = 0;
  // The last entry's header and PKCS#7 signature rounded up to 8 bytes; of
  // those, presentSize lie in the file (a table may end without its padding).
  std::size_t signedSize = 0;
  std::size_t presentSize = 0;
  // True when the entry continues with exactly one token trailer.
  bool carriesTrailer = false;
};

// Reads the table of image, which must be signed and end exactly at the end of
// file. Refuses a corrupt entry chain, a last entry that is not a PKCS#7
// signature, and bytes behind the signature that are not a token trailer.
[[nodiscard]] CertificateTable readCertificateTable(std::string_view file, const PeImage& image);

struct RebuiltFile {
  std::string problem;
  std::string bytes;
};

// file with the last entry's signature followed by tail (a trailer, or nothing)
// instead of what followed it; the entry's length, the directory's size and a
// non-zero checksum are updated. tail's size must be a multiple of 8 so that
// the table stays 8-byte aligned.
[[nodiscard]] RebuiltFile withSignatureTail(std::string_view file, const PeImage& image, const CertificateTable& table,
                                            std::string_view tail);

}  // namespace kelvra::stamp
