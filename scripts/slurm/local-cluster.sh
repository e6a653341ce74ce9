# A private one-node Slurm cluster for tests, sourced by a bash script:
#
#   source scripts/slurm/local-cluster.sh
#   cluster_start FOLDER     # munged, slurmctld and slurmd, state and logs in FOLDER
#   sbatch ...               # SLURM_CONF points at the cluster's slurm.conf
#   cluster_stop             # stops what cluster_start started, by pid
#
# Everything lives in FOLDER: its own munge key, socket and pid file, its own
# slurm.conf, state, spool and logs. Both Slurm daemons listen on 127.0.0.1
# only, on ports that were free when the cluster started; there is no
# accounting. Run as root (slurmd starts the jobs of any user); no systemd.
# cluster_start stops what it started and prints the logs when a daemon does
# not come up; cluster_logs prints them on demand.

cluster_folder=""
cluster_pids=()  # in start order; cluster_stop ends them in reverse
cluster_names=()

cluster_fail() {
    echo "local-cluster: $*" >&2
    cluster_logs >&2
    cluster_stop
    return 1
}

# Two TCP ports free on 127.0.0.1 at this moment, one per line.
cluster_free_ports() {
    python3 - <<'EOF'
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print("\n".join(str(s.getsockname()[1]) for s in sockets))
EOF
}

# Waits up to $1 seconds for the command after it to succeed.
cluster_wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# True while the process runs: an ended child that was not waited for yet (a
# zombie) still answers kill -0.
cluster_daemon_alive() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat%% *}" != Z ]
}

cluster_write_conf() {
    local ctld_port=$1 slurmd_port=$2 cpus
    cpus=$(nproc)
    cat >"$cluster_folder/slurm.conf" <<EOF
ClusterName=segweld-test
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
CommunicationParameters=NoCtldInAddrAny,NoInAddrAny
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$cluster_folder/munge/socket
StateSaveLocation=$cluster_folder/state
SlurmdSpoolDir=$cluster_folder/spool
SlurmctldPidFile=$cluster_folder/slurmctld.pid
SlurmdPidFile=$cluster_folder/slurmd.pid
SlurmctldLogFile=$cluster_folder/slurmctld.log
SlurmdLogFile=$cluster_folder/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/pgid
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
MailProg=/bin/true
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
ReturnToService=2
SlurmdParameters=config_overrides
MinJobAge=600
NodeName=segweld-node NodeAddr=127.0.0.1 NodeHostname=$(hostname -s) CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=segweld-node Default=YES MaxTime=INFINITE State=UP
EOF
}

cluster_start_munge() {
    local munge=$cluster_folder/munge
    mkdir -p "$munge"
    chmod 755 "$munge"  # munged wants its socket reachable by every user
    dd if=/dev/urandom of="$munge/key" bs=1024 count=1 status=none
    chmod 400 "$munge/key"
    munged --foreground --force --socket="$munge/socket" --key-file="$munge/key" \
        --pid-file="$munge/pid" --log-file="$munge/log" --seed-file="$munge/seed" \
        >>"$munge/log" 2>&1 &
    cluster_pids+=($!)
    cluster_names+=(munged)
    cluster_wait_for 10 munge --socket="$munge/socket" --no-input ||
        cluster_fail "munged did not answer on $munge/socket within 10 s"
}

cluster_start() {
    cluster_folder=$(realpath "$1")
    mkdir -p "$cluster_folder/state" "$cluster_folder/spool"
    local ports
    ports=($(cluster_free_ports))
    cluster_write_conf "${ports[0]}" "${ports[1]}"
    export SLURM_CONF=$cluster_folder/slurm.conf

    cluster_start_munge || return 1
    # -D keeps each daemon in the foreground, so $! is its pid; -i starts the
    # controller without state from an earlier run.
    slurmctld -D -i -f "$SLURM_CONF" >"$cluster_folder/slurmctld.console" 2>&1 &
    cluster_pids+=($!)
    cluster_names+=(slurmctld)
    slurmd -D -N segweld-node -f "$SLURM_CONF" >"$cluster_folder/slurmd.console" 2>&1 &
    cluster_pids+=($!)
    cluster_names+=(slurmd)

    # The node registers with the controller and turns idle within seconds.
    local deadline=$((SECONDS + 30)) i
    while :; do
        for i in "${!cluster_pids[@]}"; do
            cluster_daemon_alive "${cluster_pids[i]}" ||
                { cluster_fail "${cluster_names[i]} ended at start"; return 1; }
        done
        cluster_node_idle && break
        [ "$SECONDS" -lt "$deadline" ] ||
            { cluster_fail "the node did not become idle within 30 s"; return 1; }
        sleep 0.2
    done
}

cluster_node_idle() {
    [ "$(timeout 5 sinfo -h -n segweld-node -o %T 2>/dev/null)" = idle ]
}

cluster_no_jobs() {
    [ -z "$(squeue -h 2>/dev/null)" ]
}

cluster_logs() {
    [ -n "$cluster_folder" ] || return 0
    local log
    for log in "$cluster_folder/munge/log" "$cluster_folder"/slurm*.console \
        "$cluster_folder/slurmctld.log" "$cluster_folder/slurmd.log"; do
        [ -s "$log" ] || continue
        echo "---- $log (last 40 lines)"
        tail -n 40 "$log"
    done
}

# Cancels the jobs still there, then ends the daemons in reverse start order:
# SIGTERM, then SIGKILL after 10 s.
cluster_stop() {
    local i pid
    if [ ${#cluster_pids[@]} -eq 3 ] && cluster_daemon_alive "${cluster_pids[1]}" &&
        [ -n "$(squeue -h 2>/dev/null)" ]; then
        scancel --quiet --user="$(id -un)" 2>/dev/null || true
        cluster_wait_for 10 cluster_no_jobs ||
            echo "local-cluster: jobs still there 10 s after scancel" >&2
    fi
    for ((i = ${#cluster_pids[@]} - 1; i >= 0; i--)); do
        pid=${cluster_pids[i]}
        if cluster_daemon_alive "$pid"; then
            kill -TERM "$pid" 2>/dev/null || true
            if ! cluster_wait_for 10 eval "! cluster_daemon_alive $pid"; then
                echo "local-cluster: ${cluster_names[i]} (pid $pid) still runs 10 s after" \
                    "SIGTERM; killing it" >&2
                kill -KILL "$pid" 2>/dev/null || true
            fi
        fi
        wait "$pid" 2>/dev/null || true
    done
    cluster_pids=()
    cluster_names=()
}
