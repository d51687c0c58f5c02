// One scenario on many devices: every release from 7.0 to 10.3 on iPhone and iPad (or the ones
// asked for), each in a world of its own, played on `threads` threads at once (worlds share
// nothing but the process's selector table, which is locked). Per release and device, per
// reminder: whether it started, its alerts and what they did, how it ended. A cell that differs
// from its column's majority is marked, and each group of differing rows gets one line that
// says which difference between releases or devices explains it.
//   Matrix m = playMatrix(scenario, matrixTargets({}, {}).value(), 2);
//   std::fputs(matrixText(m).c_str(), stdout);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device/profile.h"
#include "platform/result.h"
#include "sim/scenario.h"

namespace qv::sim::report {

struct MatrixTarget {
  device::Release release;
  device::Idiom idiom = device::Idiom::Phone;
  std::string label() const;  // "iOS 10.2 iPad"
};

// The targets `--ios` and `--device` name: comma-separated releases ("9.3,10.2"), majors ("7"
// for every 7.x) or ranges ("9.0-10.1"); devices "iPhone", "iPad" (either case). Empty: all.
// An Error names what is not known and lists what is.
Result<std::vector<MatrixTarget>> matrixTargets(const std::string& ios, const std::string& devices);

struct MatrixCell {
  bool started = false;
  int runs = 0;  // its starts, a restart (a new event replacing a running run) included
  int alerts = 0;
  std::uint32_t effects = 0;  // report::Effect bits, of all its alerts together
  std::string ended;          // how its last run ended ("limit", "cleared"...; "running")
  bool differs = false;       // from the majority of its column
  std::string text() const;   // "3 alerts SVB, 2 starts, limit"; "-" when it never started
};

struct MatrixRow {
  MatrixTarget target;
  std::vector<MatrixCell> cells;  // by column
  std::string error;              // the world could not be built (nothing ran)
};

struct Matrix {
  std::string scenario;
  std::vector<std::string> columns;      // reminder ids, in the order they first started
  std::vector<std::string> columnNames;  // as the story names them
  std::vector<MatrixRow> rows;
  std::vector<std::string> reasons;  // one line per group of differing rows
};

// Plays `scenario` on every target, `threads` at a time; rows in the targets' order.
Matrix playMatrix(const Scenario& scenario, const std::vector<MatrixTarget>& targets, unsigned threads);

std::string matrixText(const Matrix& m);
// One JSON object (with a line end).
std::string matrixJson(const Matrix& m);
// A table for the HTML report.
std::string matrixHtml(const Matrix& m);

}  // namespace qv::sim::report
