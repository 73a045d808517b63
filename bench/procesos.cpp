#include "procesos.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace relvano::bench {

Medida EnHijo(const std::string& yo, const std::vector<std::string>& args) {
  Medida m;
  int tubo[2];
  if (pipe(tubo) != 0) {
    m.error = "pipe";
    return m;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(tubo[1], STDOUT_FILENO);
    close(tubo[0]);
    close(tubo[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(yo.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(yo.c_str(), argv.data());
    _exit(127);
  }
  close(tubo[1]);
  std::string salida;
  char buf[512];
  for (ssize_t n; (n = read(tubo[0], buf, sizeof buf)) > 0;)
    salida.append(buf, static_cast<size_t>(n));
  close(tubo[0]);
  int estado = 0;
  struct rusage uso {};
  wait4(pid, &estado, 0, &uso);
  m.picoKb = uso.ru_maxrss;
  m.cpu = static_cast<double>(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) +
          static_cast<double>(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
  std::istringstream in(salida);
  std::string clave;
  in >> clave;
  if (clave == "OK") {
    in >> m.segundos >> m.mensajes >> m.bytesDisco >> m.cpuServidor >> m.cpuRun;
    if (!(in >> m.idHistorial)) m.idHistorial = 0;
    m.hecha = true;
  } else {
    std::getline(in, m.error);
    if (m.error.empty())
      m.error = "el proceso terminó sin respuesta (estado " + std::to_string(estado) + ")";
  }
  return m;
}

// The better of two measures of the same work: the shorter time and processor time,
// the larger peak memory (the figure must hold for every run). A failed run wins, so
// that its error is reported.
Medida Mejor(const Medida& hasta, const Medida& nueva, int repeticion) {
  if (repeticion == 0 || !nueva.hecha) return nueva;
  Medida m = nueva.segundos < hasta.segundos ? nueva : hasta;
  m.cpu = std::min(hasta.cpu, nueva.cpu);
  m.cpuServidor = std::min(hasta.cpuServidor, nueva.cpuServidor);
  m.cpuRun = std::min(hasta.cpuRun, nueva.cpuRun);
  m.idHistorial = nueva.idHistorial;  // the run the history holds now
  m.picoKb = std::max(hasta.picoKb, nueva.picoKb);
  return m;
}

long long BytesEscritosDisco() {
  std::ifstream io("/proc/self/io");
  std::string clave;
  long long valor = 0;
  while (io >> clave >> valor)
    if (clave == "write_bytes:") return valor;
  return -1;
}

double CpuPropia() {
  struct rusage uso {};
  getrusage(RUSAGE_SELF, &uso);
  return static_cast<double>(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) +
         static_cast<double>(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
}

double Segundos(std::chrono::steady_clock::time_point desde) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - desde).count();
}

}  // namespace relvano::bench
