#include "dictionary/record_decoder.h"

#include <algorithm>

namespace kebu {

RecordBuffers::RecordBuffers(const RecordDecoding& decoding) : decoding_(decoding) {
  const int capacities[] = {decoding.capacities.headword, decoding.capacities.translation,
                            decoding.capacities.example};
  for (int i = 0; i < 3; ++i) buffers_[i].resize(static_cast<size_t>(std::max(capacities[i], 1)) + 1);
}

}  // namespace kebu
