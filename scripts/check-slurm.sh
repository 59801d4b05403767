#!/usr/bin/env bash
# Tries the README's Slurm recipe on a real Slurm: a single-node cluster of
# this machine (Debian's slurm-wlm and munge, installed when missing), started
# from config files of its own in a temporary folder. It takes the job script,
# the submission and the re-run from README.md (the code blocks after its
# "check-slurm:" marks) and runs them exactly as written, from a folder laid out
# as the repository's root: the program, the examples, parts/ and sweep/. One
# task fails on purpose (a file stands where its part folder goes); the merge
# must count its stream as a failed run, with status 1. That stream is run
# again as the README says, and the new merge must equal `--runs 20` (the
# README's own command): summary.txt byte for byte, runs.csv but for the
# seconds. Every daemon it started is stopped by its process id, and its
# temporary files are removed. Needs root; prints each step before its output.
#   check-slurm.sh [BUILD-FOLDER]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
repository=$PWD
program=$(realpath "${1:-build}/cli/quarvel-cli")
failing_stream=7

if [[ $(id -u) -ne 0 ]]; then
  echo "check-slurm.sh starts munged, slurmctld and slurmd: run it as root" >&2
  exit 2
fi
if [[ ! -x $program ]]; then
  echo "no $program: build quarvel-cli first" >&2
  exit 2
fi

step() {
  echo
  echo "== $*"
}
show() {
  echo "\$ $*"
  "$@"
}

# The code block after "<!-- check-slurm: NAME -->" in README.md.
readme_block() {
  awk -v mark="<!-- check-slurm: $1 -->" '
    $0 == mark { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$repository/README.md"
}
for block in runs quarvel-array.sh submit rerun; do
  if [[ -z $(readme_block "$block") ]]; then
    echo "README.md has no code block after <!-- check-slurm: $block -->" >&2
    exit 1
  fi
done

if ! command -v munged >/dev/null || ! command -v slurmctld >/dev/null ||
  ! command -v slurmd >/dev/null || ! command -v sbatch >/dev/null; then
  step "installing Debian's slurm-wlm and munge"
  show apt-get update -qq
  DEBIAN_FRONTEND=noninteractive show apt-get install -y -qq --no-install-recommends \
    slurm-wlm munge >/dev/null
fi

top=$(mktemp -d /tmp/quarvel-slurm.XXXXXX)
daemons=()
stop_daemons() {
  local status=$?
  # Jobs still queued or running on this cluster (when a step failed) end first.
  if [[ -n ${SLURM_CONF:-} ]] && squeue -h -o %A >"$top/left" 2>/dev/null && [[ -s $top/left ]]; then
    xargs scancel <"$top/left" || true
    for _ in $(seq 20); do
      [[ -z $(squeue -h 2>/dev/null) ]] && break
      sleep 0.5
    done
  fi
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    read -r name pid <<<"${daemons[i]}"
    if kill -0 "$pid" 2>/dev/null; then
      kill -TERM "$pid"
      wait "$pid" 2>/dev/null || true
      echo "stopped $name (process $pid)"
    fi
  done
  if ((status != 0)); then
    echo "--- the daemons' logs" >&2
    tail -n 20 "$top"/*.log >&2 || true
  fi
  rm -rf "$top"
  exit "$status"
}
trap stop_daemons EXIT
# Started in the foreground of a background job: $! is the daemon itself. What
# it prints goes to its log.
start_daemon() {
  local name=$1
  shift
  "$@" >>"$top/$name.log" 2>&1 &
  daemons+=("$name $!")
  echo "started $name (process $!)"
}

step "a single-node cluster: munged, slurmctld and slurmd with files under $top"
host=$(hostname -s)
cpus=$(nproc)
mkdir -p "$top/munge" "$top/slurm/state" "$top/slurm/spool"
chmod 700 "$top/munge"
dd if=/dev/urandom of="$top/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$top/munge/munge.key"
start_daemon munged munged --foreground --force --key-file="$top/munge/munge.key" \
  --socket="$top/munge/munge.socket" --pid-file="$top/munge/munged.pid" \
  --log-file="$top/munged.log" --seed-file="$top/munge/munged.seed"
export SLURM_CONF=$top/slurm/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=quarvel-check
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$top/munge/munge.socket
StateSaveLocation=$top/slurm/state
SlurmdSpoolDir=$top/slurm/spool
SlurmctldPidFile=$top/slurm/slurmctld.pid
SlurmdPidFile=$top/slurm/slurmd.pid
SlurmctldLogFile=$top/slurmctld.log
SlurmdLogFile=$top/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
ReturnToService=2
MpiDefault=none
MailProg=/bin/true
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
for _ in $(seq 50); do [[ -S $top/munge/munge.socket ]] && break; sleep 0.1; done
start_daemon slurmctld slurmctld -D
start_daemon slurmd slurmd -D
for _ in $(seq 100); do
  [[ $(sinfo -h -o %t 2>/dev/null) == idle ]] && break
  sleep 0.3
done
show sinfo

# Waits for job `$1` to leave the queue.
wait_for_job() {
  for _ in $(seq 600); do
    [[ -z $(squeue -h -j "$1" 2>/dev/null) ]] && return 0
    sleep 0.5
  done
  echo "job $1 did not end in 5 minutes" >&2
  squeue >&2
  return 1
}
# The state and exit code of job `$1`, as the controller remembers it.
job_end() {
  scontrol show job "$1" | grep -o 'JobState=[A-Z_]* \|ExitCode=[0-9:]*' | tr -d '\n'
  echo
}
# Runs a README block of submissions in the current folder, echoing it; the
# id of the last job it submitted in `merge`.
submit_block() {
  readme_block "$1" | sed 's/^/$ /'
  readme_block "$1" | bash -euo pipefail | tee "$top/submit.out"
  merge=$(grep -o '^Submitted batch job [0-9]*' "$top/submit.out" | tail -n 1 | grep -o '[0-9]*$')
}

# The repository's layout: the program and the examples where the README has them.
layout() {
  mkdir -p "$1/build/cli"
  ln -s "$program" "$1/build/cli/quarvel-cli"
  ln -s "$repository/examples" "$1/examples"
}
cluster=$top/cluster
layout "$cluster"
readme_block quarvel-array.sh >"$cluster/quarvel-array.sh"
cd "$cluster"

step "the README's array and merge, as written; task $failing_stream fails on purpose"
mkdir parts
echo "a file where part-$failing_stream goes" >"parts/part-$failing_stream"
submit_block submit
wait_for_job "$merge"
echo "merge job $merge: $(job_end "$merge")"
show cat "slurm-${merge}.out"
show sed -n "1p;/^$failing_stream,/p" sweep/runs.csv
show cat "$(ls slurm-*_"$failing_stream".out)"
if [[ $(job_end "$merge") != *"ExitCode=1:0"* ]] ||
  ! grep -q "^$failing_stream,1,,,,,,,failed: its run.txt was not found" sweep/runs.csv ||
  ! grep -q "^1 run failed, stream $failing_stream " sweep/summary.txt ||
  [[ $(grep -c ',ok,' sweep/runs.csv) -ne 19 ]]; then
  echo "the merge did not count stream $failing_stream as the one failed run of 20" >&2
  exit 1
fi

step "stream $failing_stream run again as the README says, and merged again"
rm "parts/part-$failing_stream"
submit_block rerun
wait_for_job "$merge"
echo "merge job $merge: $(job_end "$merge")"
show cat "slurm-${merge}.out"
if [[ $(job_end "$merge") != *"ExitCode=0:0"* ]]; then
  echo "the merge after the re-run failed" >&2
  exit 1
fi

step "the README's --runs 20 on this machine, compared with the merge"
reference=$top/reference
layout "$reference"
cd "$reference"
readme_block runs | sed 's/^/$ /'
readme_block runs | bash -euo pipefail
without_seconds() { cut -d, -f1-7,9- "$1"; }
if cmp "$reference/sweep/summary.txt" "$cluster/sweep/summary.txt" &&
  diff <(without_seconds "$reference/sweep/runs.csv") <(without_seconds "$cluster/sweep/runs.csv"); then
  echo "summary.txt of the merge is byte for byte that of --runs 20; runs.csv the same but for the seconds"
else
  echo "the merge differs from --runs 20" >&2
  exit 1
fi
show head -n 3 "$cluster/sweep/summary.txt"
