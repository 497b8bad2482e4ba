// Squarified treemap: areas as large as their values, laid out in rows
// whose rectangles stay as near to square as they can.
// items: [{value, ...}] (value > 0); returns [{item, x, y, width, height}].
// A row's worst aspect ratio is kept from its sum, least and greatest area
// as it grows, so that laying out n items takes n steps, not n² (many
// equal files make long rows).
export function squarify(items, width, height) {
  const total = items.reduce((sum, item) => sum + item.value, 0);
  const sorted = items.filter((item) => item.value > 0).sort((a, b) => b.value - a.value);
  const placed = [];
  let box = { x: 0, y: 0, width, height };
  const scale = total > 0 ? (width * height) / total : 0;
  let row = [];
  let rowSum = 0;
  // The worst aspect ratio of a row of these areas laid along `side`.
  const worst = (sum, least, greatest, side) => Math.max((side * side * greatest) / (sum * sum),
                                                          (sum * sum) / (side * side * least));
  const layRow = () => {
    const horizontal = box.width >= box.height;  // the row stands along the shorter side
    const thickness = rowSum / (horizontal ? box.height : box.width);
    let at = 0;
    for (const item of row) {
      const length = (item.value * scale) / thickness;
      placed.push(horizontal ? { item, x: box.x, y: box.y + at, width: thickness, height: length }
                             : { item, x: box.x + at, y: box.y, width: length, height: thickness });
      at += length;
    }
    box = horizontal ? { x: box.x + thickness, y: box.y, width: box.width - thickness, height: box.height }
                     : { x: box.x, y: box.y + thickness, width: box.width, height: box.height - thickness };
    row = [];
    rowSum = 0;
  };
  for (const item of sorted) {
    const side = Math.min(box.width, box.height);
    const area = item.value * scale;
    // Sorted largest first: the row's first area is its greatest, the
    // newest its least.
    if (row.length > 0) {
      const greatest = row[0].value * scale;
      const least = row[row.length - 1].value * scale;
      if (worst(rowSum + area, area, greatest, side) > worst(rowSum, least, greatest, side)) layRow();
    }
    row.push(item);
    rowSum += area;
  }
  if (row.length > 0) layRow();
  return placed;
}
