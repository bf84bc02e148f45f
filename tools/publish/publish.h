// Turns a client folder into the tree the download servers serve: the version file,
// the version's manifest with its digests, the chunk index beside it, every client
// file under the version directory, and the completion marker.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace krdn::publish {

struct Options {
  std::filesystem::path client;  // the client folder
  std::filesystem::path out;     // the server root
  std::string version;           // "X.Y.Z", each number 0 to 255
  std::uint16_t mode_word = 0;
  std::uint64_t piece_size = 4u << 20;
  // The publisher's private key (PEM, as MakeKey writes it). When given, the version
  // file and the manifest get detached signatures beside them: "tern.sav.sig" and
  // "<version>_download.txt.sig".
  std::filesystem::path sign_key{};
  // The release sequence number stamped into a signed version file: signed clients
  // refuse a release older than one they accepted. Without it, the number after the
  // one of the version file already under `out` (1 when there is none).
  std::optional<std::uint64_t> sequence{};
  // Whether "<version>_chunks", the chunk index, is written beside the manifest (and
  // signed with it). Without it the release is what it was before there were indexes.
  bool chunk_index = true;
};

struct Outcome {
  enum Code { kPublished = 0, kFailed = 1, kRefused = 2 } code = kPublished;
  std::string message;  // what was refused or failed, for the user
  std::size_t files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t sequence = 0;  // the signed release's number; 0 for an unsigned release
};

// Checks every name and size first, so that a refused client writes nothing.
Outcome Publish(const Options& options);

// Makes a signing key pair: the private key at `path` (readable by its owner only) and
// the public key at "<path>.pub", the file a build or the console front-end is given.
// Refuses to replace an existing file: a lost private key cannot be made again.
Outcome MakeKey(const std::filesystem::path& path);

// The manifest line path of a file relative to the client folder ("\dir\name"), or an
// explanation of why the manifest cannot carry it.
bool ManifestPathFor(const std::filesystem::path& relative, std::string& path_or_reason);

}  // namespace krdn::publish
