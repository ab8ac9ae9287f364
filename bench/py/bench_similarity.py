"""Benchmarks of the vector functions against NumPy (and simsimd when installed).

Run:  PYTHONPATH=build/dev/src/py python bench/py/bench_similarity.py [--quick]

Every row first checks that the compared programs agree on the answer, then
times each (best of several runs) on the same input in this one process and
reports the ratio. The matrix rows also run single-threaded in a child
process (PELRIN_NUM_THREADS=1) to report the speed-up on all cores; the
core rows (bench/core/similarity_bench.cpp, built on the fly) time the
kernels without the binding layer and give their GFLOP/s against this
machine's measured single-core peak for 32-bit adds and multiplies.
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

import pelrin_native as pn

try:
    import simsimd
except ImportError:  # an optional peer
    simsimd = None


def best_of(fn, repeat, budget_s=0.3, max_runs=200):
    """Best time of at least `repeat` runs, more for fast calls (until about
    budget_s has been spent), since the machine may be shared."""
    best = float("inf")
    spent = 0.0
    runs = 0
    while runs < repeat or (spent < budget_s and runs < max_runs):
        start = time.perf_counter()
        fn()
        took = time.perf_counter() - start
        best = min(best, took)
        spent += took
        runs += 1
    return best


def np_cosines(q, corpus):
    a = corpus / np.linalg.norm(corpus, axis=1, keepdims=True)
    return a @ (q / np.linalg.norm(q))


def np_top_k(sims, k):
    idx = np.argpartition(-sims, k)[:k]
    idx = idx[np.argsort(-sims[idx], kind="stable")]
    return [(int(i), float(sims[i])) for i in idx]


def check_close(got, want, what, atol=1e-5):
    if not np.allclose(np.asarray(got, dtype=np.float64), np.asarray(want, dtype=np.float64), atol=atol):
        raise SystemExit(f"answers differ: {what}")


def check_top_k(got, want, what):
    if [round(s, 5) for _, s in got] != [round(s, 5) for _, s in want]:
        raise SystemExit(f"top-k answers differ: {what}")


PEAK_SOURCE = r"""
#include <immintrin.h>
#include <chrono>
#include <cstdio>
// Seven independent multiply chains and seven independent add chains: more
// operations in flight than the pipes' latency, so the loop runs at their
// throughput. Built with -march=native for this machine only.
#define CHAINS(V, MUL, ADD, SET, LANES, ITERS)                                   \
  [] {                                                                            \
    V m0 = SET(1.0f), m1 = SET(1.1f), m2 = SET(1.2f), m3 = SET(1.3f), m4 = SET(1.4f), \
      m5 = SET(1.5f), m6 = SET(1.6f);                                             \
    V a0 = SET(0.0f), a1 = SET(1.0f), a2 = SET(2.0f), a3 = SET(3.0f), a4 = SET(4.0f), \
      a5 = SET(5.0f), a6 = SET(6.0f);                                             \
    const V k = SET(0.99999994f), c = SET(1e-30f);                                \
    auto t0 = std::chrono::steady_clock::now();                                   \
    for (long n = 0; n < ITERS; ++n) {                                            \
      m0 = MUL(m0, k); a0 = ADD(a0, c); m1 = MUL(m1, k); a1 = ADD(a1, c);         \
      m2 = MUL(m2, k); a2 = ADD(a2, c); m3 = MUL(m3, k); a3 = ADD(a3, c);         \
      m4 = MUL(m4, k); a4 = ADD(a4, c); m5 = MUL(m5, k); a5 = ADD(a5, c);         \
      m6 = MUL(m6, k); a6 = ADD(a6, c);                                           \
      __asm__ volatile("" : "+v"(m0), "+v"(m1), "+v"(m2), "+v"(m3), "+v"(m4), "+v"(m5), "+v"(m6)); \
      __asm__ volatile("" : "+v"(a0), "+v"(a1), "+v"(a2), "+v"(a3), "+v"(a4), "+v"(a5), "+v"(a6)); \
    }                                                                             \
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); \
    return 14.0 * LANES * ITERS / s / 1e9;                                        \
  }()
int main() {
  double best = CHAINS(__m256, _mm256_mul_ps, _mm256_add_ps, _mm256_set1_ps, 8, 100000000L);
#ifdef __AVX512F__
  double wide = CHAINS(__m512, _mm512_mul_ps, _mm512_add_ps, _mm512_set1_ps, 16, 50000000L);
  if (wide > best) best = wide;
#endif
  std::printf("%f\n", best);
}
"""


def measured_peak_gflops():
    """Single-core peak of 32-bit multiplies plus adds, from a small C++ loop."""
    cxx = shutil.which("c++") or shutil.which("g++") or shutil.which("clang++")
    if cxx is None:
        return None
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "peak.cpp")
        exe = os.path.join(tmp, "peak")
        with open(src, "w") as f:
            f.write(PEAK_SOURCE)
        build = subprocess.run([cxx, "-O2", "-march=native", "-std=c++17", src, "-o", exe],
                               capture_output=True)
        if build.returncode != 0:
            return None
        out = subprocess.run(["taskset", "-c", "0", exe] if shutil.which("taskset") else [exe],
                             capture_output=True, text=True)
        return float(out.stdout.strip()) if out.returncode == 0 else None


def core_bench(threads):
    """Builds bench/core/similarity_bench.cpp against the core libraries of
    PELRIN_BUILD_DIR (default build/dev) and runs it; [] when either is
    missing."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    build = os.environ.get("PELRIN_BUILD_DIR", os.path.join(root, "build", "dev"))
    libs = [os.path.join(build, "src", "core", f"libpelrin_core_{a}.a")
            for a in ("embeddings", "similarity", "platform", "base")]
    cxx = shutil.which("c++") or shutil.which("g++")
    if cxx is None or not all(os.path.exists(lib) for lib in libs):
        return []
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "similarity_bench")
        src = os.path.join(root, "bench", "core", "similarity_bench.cpp")
        cmd = [cxx, "-O2", "-std=c++20", "-ffp-contract=off", "-I", os.path.join(root, "src"), src, *libs,
               "-ltbb", "-o", exe]
        if subprocess.run(cmd, capture_output=True).returncode != 0:
            return []
        env = dict(os.environ, PELRIN_NUM_THREADS=str(threads))
        out = subprocess.run([exe], capture_output=True, text=True, env=env)
        return [json.loads(line) for line in out.stdout.splitlines() if line.strip()]


CHILD = r"""
import json, sys, time
import numpy as np
import pelrin_native as pn
kind, n, m, d, repeat = sys.argv[1], *map(int, sys.argv[2:6])
rng = np.random.default_rng(0)
def best(fn):
    b = float("inf")
    for _ in range(repeat):
        s = time.perf_counter(); fn(); b = min(b, time.perf_counter() - s)
    return b
if kind == "matrix":
    q = rng.standard_normal((n, d)).astype(np.float32)
    c = rng.standard_normal((m, d)).astype(np.float32)
    total = best(lambda: pn.similarity_matrix(q, c))
    # The same number of result floats built with next to no arithmetic.
    convert = best(lambda: pn.batch_normalize_vectors(np.zeros((n, m), np.float32)))
else:
    e = rng.standard_normal((n, d)).astype(np.float32)
    total = best(lambda: pn.knn_graph(e, k=5))
    convert = 0.0
print(json.dumps({"total": total, "convert": convert}))
"""


def run_child(threads, *args):
    env = dict(os.environ, PELRIN_NUM_THREADS=str(threads))
    out = subprocess.run([sys.executable, "-c", CHILD, *map(str, args)], env=env, capture_output=True,
                         text=True, check=True)
    return json.loads(out.stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="smaller inputs, fewer repeats")
    opts = parser.parse_args()
    repeat = 3 if opts.quick else 5
    rows = []
    rng = np.random.default_rng(2026)

    def row(name, ours, peers):
        line = {"case": name, "pelrin_ms": round(ours * 1e3, 2)}
        for peer, t in peers.items():
            line[f"{peer}_ms"] = round(t * 1e3, 2)
            line[f"speedup_vs_{peer}"] = round(t / ours, 2)
        rows.append(line)
        print(json.dumps(line), flush=True)

    n, d = (2000, 768) if opts.quick else (10000, 768)
    corpus = rng.standard_normal((n, d)).astype(np.float32)
    query = rng.standard_normal(d).astype(np.float32)
    corpus_list, query_list = corpus.tolist(), query.tolist()

    # From Python lists: NumPy must convert the same lists first.
    def numpy_from_lists():
        return np_cosines(np.asarray(query_list, dtype=np.float32), np.asarray(corpus_list, dtype=np.float32))

    check_close(pn.batch_cosine_similarity(query_list, corpus_list), numpy_from_lists(), "batch lists")
    row(f"batch_cosine_similarity lists {n}x{d}",
        best_of(lambda: pn.batch_cosine_similarity(query_list, corpus_list), repeat),
        {"numpy": best_of(numpy_from_lists, repeat)})
    check_top_k(pn.top_k_similar(query_list, corpus_list, k=10), np_top_k(numpy_from_lists(), 10), "top-k lists")
    row(f"top_k_similar k=10 lists {n}x{d}",
        best_of(lambda: pn.top_k_similar(query_list, corpus_list, k=10), repeat),
        {"numpy": best_of(lambda: np_top_k(numpy_from_lists(), 10), repeat)})

    # From arrays through the buffer path.
    peers = {"numpy": best_of(lambda: np_cosines(query, corpus), repeat)}
    if simsimd is not None:
        check_close(1.0 - np.asarray(simsimd.cdist(query[None, :], corpus, metric="cosine"))[0],
                    np_cosines(query, corpus), "simsimd")
        peers["simsimd"] = best_of(lambda: simsimd.cdist(query[None, :], corpus, metric="cosine"), repeat)
    check_close(pn.batch_cosine_similarity(query, corpus), np_cosines(query, corpus), "batch arrays")
    row(f"batch_cosine_similarity arrays {n}x{d}",
        best_of(lambda: pn.batch_cosine_similarity(query, corpus), repeat), peers)
    check_top_k(pn.top_k_similar(query, corpus, k=10), np_top_k(np_cosines(query, corpus), 10), "top-k arrays")
    row(f"top_k_similar k=10 arrays {n}x{d}", best_of(lambda: pn.top_k_similar(query, corpus, k=10), repeat),
        {"numpy": best_of(lambda: np_top_k(np_cosines(query, corpus), 10), repeat)})

    # Quantized similarity against the float path on the same vectors.
    qn = 1000
    vecs = corpus[:qn].tolist()
    quantized = pn.batch_quantize_embeddings(vecs)
    check_close(pn.batch_quantized_cosine_similarity(quantized[0], quantized),
                pn.batch_cosine_similarity(vecs[0], vecs), "quantized vs float", atol=2e-2)
    row(f"batch_quantized_cosine_similarity {qn}x{d}",
        best_of(lambda: pn.batch_quantized_cosine_similarity(quantized[0], quantized), repeat),
        {"float_lists": best_of(lambda: pn.batch_cosine_similarity(vecs[0], vecs), repeat),
         "float_arrays": best_of(lambda: pn.batch_cosine_similarity(corpus[0], corpus[:qn]), repeat)})

    # Kernel-bound calls: all cores against one, and against the peak.
    peak = measured_peak_gflops()
    cases = [("matrix", 200 if opts.quick else 1000, 10000, 384), ("knn", 2000 if opts.quick else 5000, 0, 384)]
    q = rng.standard_normal((50, 384)).astype(np.float32)
    c = rng.standard_normal((300, 384)).astype(np.float32)
    check_close(pn.similarity_matrix(q, c), (q / np.linalg.norm(q, axis=1, keepdims=True))
                @ (c / np.linalg.norm(c, axis=1, keepdims=True)).T, "matrix")
    for kind, a, b, dim in cases:
        one = run_child(1, kind, a, b, dim, 2)
        many = run_child(os.cpu_count() or 1, kind, a, b, dim, 2)
        line = {
            "case": f"{'similarity_matrix' if kind == 'matrix' else 'knn_graph'} "
                    + (f"{a}x{b}x{dim}" if kind == "matrix" else f"{a}x{dim}"),
            "one_thread_ms": round(one["total"] * 1e3, 1),
            "all_threads_ms": round(many["total"] * 1e3, 1),
            "threads": os.cpu_count(),
            "speedup": round(one["total"] / many["total"], 2),
        }
        if kind == "matrix":
            # Building 10 million result floats is a large, serial part of
            # this call; the kernel's own rate is in the core rows below.
            line["same_size_result_ms"] = round(one["convert"] * 1e3, 1)
        rows.append(line)
        print(json.dumps(line), flush=True)

    threads = os.cpu_count() or 1
    many = {line["case"]: line for line in core_bench(threads) if "ms" in line}
    for line in core_bench(1):
        if peak and "gflops" in line:
            line["fraction_of_peak"] = round(line["gflops"] / peak, 2)
        line["threads"] = 1
        if line["case"] in many:
            line[f"ms_{threads}_threads"] = many[line["case"]]["ms"]
            line["speedup"] = round(line["ms"] / many[line["case"]]["ms"], 2)
        rows.append(line)
        print(json.dumps(line), flush=True)

    print(json.dumps({"date": datetime.date.today().isoformat(), "machine": platform.processor() or platform.machine(),
                      "cpus": os.cpu_count(), "python": platform.python_version()}))


if __name__ == "__main__":
    main()
