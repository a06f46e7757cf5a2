// Prints every row of a Jet file as mdb-reader reads it, one line per row:
// the table's name, then each value, tab-separated (NULL as \N; tabs,
// newlines and backslashes escaped). The writer's tests compare these rows
// with what they wrote.
import MDBReader from "mdb-reader";
import { readFileSync } from "node:fs";

const escape = (s) => s.replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n").replace(/\r/g, "\\r");
const text = (v) => {
  if (v === null || v === undefined) return "\\N";
  if (typeof v === "string") return escape(v);
  if (typeof v === "boolean") return v ? "1" : "0";
  if (v instanceof Date) return v.toISOString();
  if (Buffer.isBuffer(v)) return v.toString("hex");
  return String(v);
};
const reader = new MDBReader(readFileSync(process.argv[2]));
let out = "";
for (const name of reader.getTableNames()) {
  const table = reader.getTable(name);
  const columns = table.getColumnNames();
  for (const row of table.getData()) out += [escape(name), ...columns.map((c) => text(row[c]))].join("\t") + "\n";
}
process.stdout.write(out);
