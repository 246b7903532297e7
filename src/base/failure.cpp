#include "base/failure.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "base/messages.h"

namespace histchart {

Failure Failure::out_of_memory() {
  Failure failure;
  failure.kind = Kind::out_of_memory;
  failure.what = "out of memory";
  failure.reason = "not enough memory";
  return failure;
}

Failure Failure::table_changed() {
  Failure failure;
  failure.what = "cannot read input table";
  failure.reason = "it changed while it was read";
  return failure;
}

Failure Failure::of_current_exception() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return out_of_memory();
  } catch (const std::length_error&) {
    // A size beyond what an allocation can ask for: the same shortage, only larger.
    return out_of_memory();
  } catch (const std::exception& e) {
    Failure failure;
    failure.what = "internal error";
    failure.subject = "histchart";
    failure.reason = e.what();
    return failure;
  }
}

std::string Failure::line() const {
  if (what.empty()) return reason;
  return diagnostic(what, subject, reason);
}

}  // namespace histchart
