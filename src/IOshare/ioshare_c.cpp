#include "IOshare/ioshare_c.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"

// The C handle: the C++ end and its names, kept as C strings because they
// never change once the controller has started.
struct ioshare_link {
  std::unique_ptr<IOsharemem_client> client;
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
};

namespace {

void report(attach_failure failure, const std::string& line, int* error, char* message,
            size_t size) {
  if (error != nullptr) *error = static_cast<int>(failure);
  if (message != nullptr && size > 0) {
    const size_t n = line.size() < size - 1 ? line.size() : size - 1;
    std::memcpy(message, line.data(), n);
    message[n] = '\0';
  }
}

ioshare_link* wrap(std::unique_ptr<IOsharemem_client> client) {
  ioshare_link* link = new ioshare_link;
  for (int i = 0; i < client->input_count(); ++i) link->inputs.push_back(client->input_name(i));
  for (int i = 0; i < client->output_count(); ++i) link->outputs.push_back(client->output_name(i));
  link->client = std::move(client);
  return link;
}

const char* name_at(const std::vector<std::string>& names, int index) {
  return index >= 0 && static_cast<size_t>(index) < names.size() ? names[index].c_str() : "";
}

int copy_values(int count, int (IOsharemem_client::*value)(int) const,
                const IOsharemem_client& client, int* values, int n) {
  if (values == nullptr || n <= 0) return 0;
  const int m = n < count ? n : count;
  for (int i = 0; i < m; ++i) values[i] = (client.*value)(i);
  return m;
}

}  // namespace

extern "C" {

ioshare_link* ioshare_try_attach(int ident, int* error, char* message, size_t size) {
  attach_failure failure = attach_failure::none;
  std::string line;
  std::unique_ptr<IOsharemem_client> client = IOsharemem_client::try_attach(ident, &failure, &line);
  report(failure, line, error, message, size);
  return client ? wrap(std::move(client)) : nullptr;
}

ioshare_link* ioshare_try_attach_argv(int argc, char** argv, int* error, char* message,
                                      size_t size) {
  int ident = 0;
  std::string line;
  const attach_failure failure = find_automemlink_ident(argc, argv, &ident, &line);
  if (failure != attach_failure::none) {
    report(failure, line, error, message, size);
    return nullptr;
  }
  return ioshare_try_attach(ident, error, message, size);
}

ioshare_link* ioshare_attach(int ident) {
  attach_failure failure = attach_failure::none;
  std::string line;
  std::unique_ptr<IOsharemem_client> client = IOsharemem_client::try_attach(ident, &failure, &line);
  if (!client) refuse_attach(line);
  return wrap(std::move(client));
}

ioshare_link* ioshare_attach_argv(int argc, char** argv) {
  return ioshare_attach(automemlink_ident(argc, argv));
}

void ioshare_free(ioshare_link* link) {
  delete link;
}

int ioshare_receive(ioshare_link* link) {
  return link->client->receive();
}

int ioshare_input(const ioshare_link* link, const char* name) {
  return name != nullptr ? link->client->input_is_set(name) : 0;
}

void ioshare_set_output(ioshare_link* link, const char* name, int value) {
  if (name != nullptr) link->client->setreset_output(name, value);
}

void ioshare_refresh(ioshare_link* link) {
  link->client->outputs_refresh();
}

int ioshare_clock(const ioshare_link* link) {
  return link->client->inputs_clock();
}

int ioshare_input_count(const ioshare_link* link) {
  return link->client->input_count();
}

int ioshare_output_count(const ioshare_link* link) {
  return link->client->output_count();
}

const char* ioshare_input_name(const ioshare_link* link, int index) {
  return name_at(link->inputs, index);
}

const char* ioshare_output_name(const ioshare_link* link, int index) {
  return name_at(link->outputs, index);
}

int ioshare_inputs(const ioshare_link* link, int* values, int n) {
  return copy_values(link->client->input_count(), &IOsharemem_client::input_value, *link->client,
                     values, n);
}

int ioshare_outputs(const ioshare_link* link, int* values, int n) {
  return copy_values(link->client->output_count(), &IOsharemem_client::output_value, *link->client,
                     values, n);
}

}  // extern "C"

static_assert(IOSHARE_NO_SWITCH == static_cast<int>(attach_failure::no_switch) &&
                  IOSHARE_NO_IDENT == static_cast<int>(attach_failure::no_ident) &&
                  IOSHARE_NOT_DECIMAL == static_cast<int>(attach_failure::not_decimal) &&
                  IOSHARE_ZERO_IDENT == static_cast<int>(attach_failure::zero_ident) &&
                  IOSHARE_REFUSED == static_cast<int>(attach_failure::refused) &&
                  IOSHARE_WRONG_SIZE == static_cast<int>(attach_failure::wrong_size) &&
                  IOSHARE_WRONG_COUNTS == static_cast<int>(attach_failure::wrong_counts),
              "the C codes are the C++ ones");
