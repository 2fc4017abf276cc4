// One call of a Gram entry: the deliverable it serves and the allocation
// registry through which all of its working memory comes from the host
// allocator.  The entry creates a CallScope when it starts, hands it to every
// routine that allocates or raises, and releases it at its end.  Errors
// raised through the scope first release the registry, so a failed call
// leaves nothing for the host to reclaim.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "host/mexhost.h"

namespace svkernel {

constexpr uint32_t REGISTRY_BUCKETS = 2053;
constexpr size_t ALLOC_SLACK = 128;

const char* const OUT_OF_MEMORY = "ERR-007 - Malloc failed, out of memory";

struct RegistryNode {
  void* block;  // none once the block has been freed on its own
  RegistryNode* next;
};

// A chain in allocation order.  `tail` is the link to fill with the next
// node (&chain while the chain is empty), so that appending takes constant
// time however long the chain has grown.
struct RegistryBucket {
  RegistryNode* chain;
  RegistryNode** tail;
  int32_t count;
};

// Nodes are handed out in allocation order from host blocks of
// NODES_PER_CHUNK: one host allocation per thousand blocks instead of
// one per block, and a record of the allocation order that releaseAll walks.
constexpr size_t NODES_PER_CHUNK = 1024;

struct NodeChunk {
  NodeChunk* next;
  size_t used;
  RegistryNode nodes[NODES_PER_CHUNK];
};

struct Registry {
  RegistryBucket buckets[REGISTRY_BUCKETS];
  int32_t total;
  NodeChunk* chunks;      // first chunk, or none
  NodeChunk* last_chunk;  // the chunk nodes are taken from
};

struct CallScope {
  const char* deliverable;  // first part of the error identifiers
  Registry* registry;       // none before creation and after release

  explicit CallScope(const char* name);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

inline uint32_t bucketOf(const void* block) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)) % REGISTRY_BUCKETS;
}

// Unlinks the block's node; false when the block is not registered.  The
// node stays in its chunk, marked empty.
inline bool unregisterBlock(Registry& r, void* block) {
  RegistryBucket& bucket = r.buckets[bucketOf(block)];
  for (RegistryNode** link = &bucket.chain; *link != nullptr; link = &(*link)->next) {
    RegistryNode* node = *link;
    if (node->block != block) continue;
    *link = node->next;
    if (bucket.tail == &node->next) bucket.tail = link;
    node->block = nullptr;
    node->next = nullptr;
    --bucket.count;
    --r.total;
    return true;
  }
  return false;
}

// Frees every registered block, in allocation order, then the node chunks
// and the registry.  No block depends on another, so any order would be
// correct; allocation order is the one the host allocator's own
// bookkeeping handles fastest.  Releasing twice does nothing.
inline void releaseAll(CallScope& call) {
  Registry* r = call.registry;
  if (r == nullptr) return;
  for (NodeChunk* chunk = r->chunks; chunk != nullptr;) {
    for (size_t k = 0; k < chunk->used; ++k)
      if (chunk->nodes[k].block != nullptr) mxFree(chunk->nodes[k].block);
    NodeChunk* next = chunk->next;
    mxFree(chunk);
    chunk = next;
  }
  mxFree(r);
  call.registry = nullptr;
}

// Raises a fixed message, without identifier, after releasing the registry.
// The text is copied first: it may live in a block of the registry.
[[noreturn]] inline void raiseText(CallScope& call, const char* text) {
  char message[512];
  std::snprintf(message, sizeof message, "%s", text);
  releaseAll(call);
  host::fail_text(message);
}

// Raises "<deliverable>:<condition>" after releasing the registry.
[[noreturn]] inline void raiseId(CallScope& call, const char* condition, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
[[noreturn]] inline void raiseId(CallScope& call, const char* condition, const char* fmt, ...) {
  char message[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(message, sizeof message, fmt, ap);
  va_end(ap);
  releaseAll(call);
  host::fail_for(call.deliverable, condition, "%s", message);
}

// Creates the registry, all buckets empty.
inline CallScope::CallScope(const char* name) : deliverable(name), registry(nullptr) {
  Registry* r = static_cast<Registry*>(mxMalloc(sizeof(Registry)));
  if (r == nullptr) host::fail_text(OUT_OF_MEMORY);
  for (RegistryBucket& bucket : r->buckets) bucket = RegistryBucket{nullptr, &bucket.chain, 0};
  r->total = 0;
  r->chunks = nullptr;
  r->last_chunk = nullptr;
  registry = r;
}

// A call that ends normally has released already; this covers a host error
// raised by the host itself while the registry is held.
inline CallScope::~CallScope() { releaseAll(*this); }

// A node for a new block; none when the host has no memory for a chunk.
inline RegistryNode* takeNode(Registry& r) {
  NodeChunk* chunk = r.last_chunk;
  if (chunk == nullptr || chunk->used == NODES_PER_CHUNK) {
    chunk = static_cast<NodeChunk*>(mxMalloc(sizeof(NodeChunk)));
    if (chunk == nullptr) return nullptr;
    chunk->next = nullptr;
    chunk->used = 0;
    if (r.last_chunk == nullptr) r.chunks = chunk;
    else r.last_chunk->next = chunk;
    r.last_chunk = chunk;
  }
  return &chunk->nodes[chunk->used++];
}

// A host block of size + ALLOC_SLACK bytes, registered at the end of its
// bucket's chain.
inline void* trackedAlloc(CallScope& call, size_t size) {
  void* block = mxMalloc(size + ALLOC_SLACK);
  if (block == nullptr) raiseText(call, OUT_OF_MEMORY);
  Registry& r = *call.registry;
  RegistryNode* node = takeNode(r);
  if (node == nullptr) {
    mxFree(block);
    raiseText(call, OUT_OF_MEMORY);
  }
  node->block = block;
  node->next = nullptr;
  RegistryBucket& bucket = r.buckets[bucketOf(block)];
  *bucket.tail = node;
  bucket.tail = &node->next;
  ++bucket.count;
  ++r.total;
  return block;
}

template <class T>
T* trackedArray(CallScope& call, size_t count) {
  return static_cast<T*>(trackedAlloc(call, count * sizeof(T)));
}

// Frees a registered block; none and unregistered blocks are left alone.
inline void trackedFree(CallScope& call, void* block) {
  if (block == nullptr || call.registry == nullptr) return;
  if (unregisterBlock(*call.registry, block)) mxFree(block);
}

}  // namespace svkernel
