#include "support/starter_schema.h"

#include <fstream>
#include <sstream>

namespace qw::test {

std::string StarterSchema() {
  std::ifstream in(QW_SCHEMA_FILE, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qw::test
