#include "lattice/frontier.h"

#include "lattice/point_table.h"

namespace lattice {

std::vector<int32_t> active_dimensions(const int32_t* set, int32_t M, int32_t N) {
  std::vector<char> active(static_cast<size_t>(M), 0);
  for (int32_t p = 0; p < N; ++p) {
    const int32_t* col = set + static_cast<size_t>(p) * M;
    for (int32_t k = 0; k < M; ++k)
      if (col[k] > 1) active[k] = 1;
  }
  std::vector<int32_t> list;
  for (int32_t k = 0; k < M; ++k)
    if (active[k]) list.push_back(k);
  return list;
}

int32_t bounds_read(const int32_t* set, int32_t M, int32_t N, bool active_only) {
  if (N == 0) return 0;
  return active_only ? static_cast<int32_t>(active_dimensions(set, M, N).size()) : M;
}

PointRows frontier(const int32_t* set, int32_t M, int32_t N, const int32_t* bounds, bool active_only) {
  // The taking-part dimensions: position b compares dimension dim[b].
  std::vector<int32_t> dim;
  if (active_only) {
    dim = active_dimensions(set, M, N);
  } else {
    dim.resize(static_cast<size_t>(M));
    for (int32_t k = 0; k < M; ++k) dim[k] = k;
  }
  const int32_t J = static_cast<int32_t>(dim.size());
  const size_t width = static_cast<size_t>(J);

  // Members over the compared coordinates, one run of J per column.
  std::vector<int32_t> compact;
  const int32_t* member = set;
  if (J < M) {
    compact.resize(width * static_cast<size_t>(N));
    for (int32_t p = 0; p < N; ++p)
      for (int32_t b = 0; b < J; ++b) compact[p * width + b] = set[static_cast<size_t>(p) * M + dim[b]];
    member = compact.data();
  }

  std::vector<uint64_t> weight(width);
  for (int32_t b = 0; b < J; ++b) weight[b] = coordinate_weight(b);
  std::vector<uint64_t> member_hash(static_cast<size_t>(N));
  PointTable members;
  table_init(members, J, static_cast<size_t>(N));
  for (int32_t p = 0; p < N; ++p) {
    member_hash[p] = point_hash(member + p * width, J, weight.data());
    // A repeated column answers no membership question its first copy does
    // not; indexing it again would only lengthen the probe chains (to
    // quadratic cost for a long run of copies).
    if (!table_contains(members, member, member + p * width, member_hash[p]))
      table_insert(members, member_hash[p], p);
  }

  // Accepted points over the compared coordinates, in acceptance order.
  std::vector<int32_t> store;
  PointTable accepted;
  table_init(accepted, J, static_cast<size_t>(N));
  int32_t accepted_count = 0;
  std::vector<int32_t> cand(width);

  if (J > 0) {
    for (int32_t p = 0; p < N; ++p) {
      const int32_t* col = member + p * width;
      // cand is column p; each step below raises one coordinate and puts it
      // back.
      for (int32_t f = 0; f < J; ++f) cand[f] = col[f];
      for (int32_t b = 0; b < J; ++b) {
        if (!(col[b] < bounds[b])) continue;  // the step would pass the bound
        const uint64_t h = member_hash[p] + weight[b];
        cand[b] += 1;  // col[b] < bounds[b] <= INT32_MAX: no overflow
        bool admissible = !table_contains(accepted, store.data(), cand.data(), h) &&
                          !table_contains(members, member, cand.data(), h);
        // Every backward neighbour but column p itself must be a member.
        for (int32_t f = 0; f < J && admissible; ++f) {
          if (f == b || col[f] <= 1) continue;
          cand[f] -= 1;
          admissible = table_contains(members, member, cand.data(), h - weight[f]);
          cand[f] += 1;
        }
        if (admissible) {
          store.insert(store.end(), cand.begin(), cand.end());
          table_insert(accepted, h, accepted_count);
          ++accepted_count;
        }
        cand[b] -= 1;
      }
    }
  }

  // Accepted points, then (active_only) the unit point of every inactive
  // dimension; every coordinate not written is 1.
  const int32_t inactive = active_only ? M - J : 0;
  PointRows rows;
  rows.dims = M;
  rows.count = accepted_count + inactive;
  rows.coords.assign(static_cast<size_t>(rows.count) * static_cast<size_t>(M), 1);
  for (int32_t r = 0; r < accepted_count; ++r)
    for (int32_t b = 0; b < J; ++b) rows.coords[static_cast<size_t>(r) * M + dim[b]] = store[r * width + b];
  if (active_only) {
    int32_t r = accepted_count;
    size_t next_active = 0;
    for (int32_t k = 0; k < M; ++k) {
      if (next_active < dim.size() && dim[next_active] == k) {
        ++next_active;
        continue;
      }
      rows.coords[static_cast<size_t>(r) * M + k] = 2;
      ++r;
    }
  }
  return rows;
}

void write_rows(const PointRows& rows, double* out) {
  const size_t R = static_cast<size_t>(rows.count), M = static_cast<size_t>(rows.dims);
  for (size_t r = 0; r < R; ++r)
    for (size_t k = 0; k < M; ++k) out[r + k * R] = static_cast<double>(rows.coords[r * M + k]);
}

}  // namespace lattice
