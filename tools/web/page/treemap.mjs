// Squarified treemap: areas as large as their values, laid out in rows
// whose rectangles stay as near to square as they can.
// items: [{value, ...}] (value > 0); returns [{item, x, y, width, height}].
export function squarify(items, width, height) {
  const total = items.reduce((sum, item) => sum + item.value, 0);
  const sorted = items.filter((item) => item.value > 0).sort((a, b) => b.value - a.value);
  const placed = [];
  let box = { x: 0, y: 0, width, height };
  const scale = total > 0 ? (width * height) / total : 0;
  let row = [];
  // The worst aspect ratio of a row laid along a side of length `side`.
  const worst = (areas, side) => {
    const sum = areas.reduce((a, b) => a + b, 0);
    return Math.max(...areas.map((area) => Math.max((side * side * area) / (sum * sum), (sum * sum) / (side * side * area))));
  };
  const layRow = () => {
    const areas = row.map((item) => item.value * scale);
    const sum = areas.reduce((a, b) => a + b, 0);
    const horizontal = box.width >= box.height;  // the row stands along the shorter side
    const thickness = sum / (horizontal ? box.height : box.width);
    let at = 0;
    row.forEach((item, i) => {
      const length = areas[i] / thickness;
      placed.push(horizontal ? { item, x: box.x, y: box.y + at, width: thickness, height: length }
                             : { item, x: box.x + at, y: box.y, width: length, height: thickness });
      at += length;
    });
    box = horizontal ? { x: box.x + thickness, y: box.y, width: box.width - thickness, height: box.height }
                     : { x: box.x, y: box.y + thickness, width: box.width, height: box.height - thickness };
    row = [];
  };
  for (const item of sorted) {
    const side = Math.min(box.width, box.height);
    const areas = row.map((r) => r.value * scale);
    if (row.length > 0 && worst([...areas, item.value * scale], side) > worst(areas, side)) layRow();
    row.push(item);
  }
  if (row.length > 0) layRow();
  return placed;
}
