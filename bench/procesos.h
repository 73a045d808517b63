#pragma once
// The benchmark's measured runs: each one a child process of its own (this program run
// again), so that its peak resident memory and its processor time are its own.

#include <chrono>
#include <string>
#include <vector>

namespace relvano::bench {

struct Medida {
  bool hecha = false;
  double segundos = 0;
  long picoKb = 0;            // peak resident memory of the run's process
  double cpu = 0;             // processor seconds of the run's process (user and system)
  double cpuServidor = 0;     // of the server's processes for the run's connections
  double cpuRun = 0;          // of the run's process from the start of the run to its end
  long long idHistorial = 0;  // the import's run in its history; 0: none
  int mensajes = 0;
  long long bytesDisco = -1;  // written to the disk by the run's process
  std::string error;
};

// Runs the program `yo` as a child with `args` and reads its one-line answer ("OK
// <seconds> [<messages> <bytes written to disk> <server seconds> <own seconds> [<history's
// run>]]" or "ERROR <text>") and its peak memory.
Medida EnHijo(const std::string& yo, const std::vector<std::string>& args);

// The better of two measures of the same work: the shorter time and processor time,
// the larger peak memory (the figure must hold for every run). A failed run wins, so
// that its error is reported.
Medida Mejor(const Medida& hasta, const Medida& nueva, int repeticion);

// Bytes this process has had written to the disk so far (the kernel's own count, which
// includes what the engine's commits wrote: journal and pages). -1 when unknown.
long long BytesEscritosDisco();

// Processor seconds (user and system) this process has used so far.
double CpuPropia();

double Segundos(std::chrono::steady_clock::time_point desde);

}  // namespace relvano::bench
