# Sourced by the end-to-end login tests (test-pam.sh, test-radius.sh): starts
# a zcvsim with one card put into service, on a loopback port. Expects sim,
# work, card, service_no, sim_lifetime, start_wait_steps and fail() from the
# caller; sets sim_pid and sim_port, and defines otp() for the card's current
# code. The caller's cleanup stops the simulator.

say "zcvsim with card $card, put into service"
"$sim" add-card --db "$work/cards.db" --card "$card" --service-no "$service_no" --valid-days 1 >/dev/null
# -v: one line per request with its verdict, e.g. "/TokenAuth.asp -> 2002".
"$sim" serve --db "$work/cards.db" --port 0 --port-file "$work/sim.port" -v \
  --max-seconds "$sim_lifetime" >"$work/sim.out" 2>&1 &
sim_pid=$!
for ((n = 0; n < start_wait_steps; n++)); do [ -s "$work/sim.port" ] && break; sleep 0.1; done
[ -s "$work/sim.port" ] || { cat "$work/sim.out"; fail "zcvsim did not start"; }
sim_port=$(cat "$work/sim.port")
otp() { "$sim" otp --db "$work/cards.db" --card "$card"; }
# The enable page, asked directly: the library would need a configuration of
# its own for zcvctl.
null='(null)'
exec 3<>"/dev/tcp/127.0.0.1/$sim_port"
printf 'GET /TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=1&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' \
  "$service_no" "$((10#$(otp)))" "$null" "$null" "$null" "$null" "$null" "$null" "$null" >&3
grep -q '<Result>9999</Result>' <&3 || fail "the simulator did not enable card $card"
exec 3<&-
