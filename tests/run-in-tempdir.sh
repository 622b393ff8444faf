#!/usr/bin/env bash
# Runs one test executable in a fresh temporary working directory and removes it afterwards.
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
"$@"
