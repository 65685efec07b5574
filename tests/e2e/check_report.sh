# Sourced by run_e2e.sh after a run, with REPORT the Linux path of the report (if any).
# Until the report is packed, a run ends without a report file.
if [ -f "$REPORT" ]; then
  echo "report written: $REPORT"
fi
