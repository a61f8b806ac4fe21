-- Prints one machine-readable line with wrk's totals, error counts and latency percentiles (µs).
done = function(summary, latency, requests)
   local e = summary.errors
   io.write(string.format(
      "RESULT requests=%d duration_us=%d bytes=%d connect=%d read=%d write=%d status=%d timeout=%d " ..
      "p50=%d p90=%d p99=%d max=%d\n",
      summary.requests, summary.duration, summary.bytes, e.connect, e.read, e.write, e.status,
      e.timeout, latency:percentile(50), latency:percentile(90), latency:percentile(99), latency.max))
end
