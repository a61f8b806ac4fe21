"""Side-by-side benchmark of quorvin-serve and other static web servers (run through bench/run)."""
