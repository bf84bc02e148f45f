// krdn-verinfo <fields.txt> <record.bin>: writes the program's version record.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/verinfo/version_record.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: krdn-verinfo <fields.txt> <record.bin>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  auto fields = verinfo::ParseVersionText(text.str(), &error);
  if (!in || !fields) {
    std::cerr << "krdn-verinfo: " << argv[1] << ": " << (in ? error : "cannot read") << "\n";
    return 1;
  }
  auto bytes = verinfo::BuildVersionRecord(*fields);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
