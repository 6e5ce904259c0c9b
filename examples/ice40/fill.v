// Fills most of an iCE40-HX8K: LANES lanes, each a 24-bit LFSR feeding a
// 24-bit accumulator (a carry chain) and a 16-bit event counter, grouped
// eight lanes to a bank whose parity drives one output. A block RAM delays
// a stamp of the banks' parities, so the design uses every kind of tile.
module lane #(parameter [23:0] SEED = 24'h1) (input clk, input rst, input en, output parity);
  reg [23:0] lfsr = SEED;
  reg [23:0] acc = 0;
  reg [15:0] events = 0;
  always @(posedge clk)
    if (rst) begin
      lfsr <= SEED;
      acc <= 0;
      events <= 0;
    end else if (en) begin
      lfsr <= {lfsr[22:0], lfsr[23] ^ lfsr[22] ^ lfsr[21] ^ lfsr[16]};
      acc <= acc + lfsr;
      if (acc[23]) events <= events + 1'b1;
    end
  assign parity = ^{acc, events};
endmodule

module bank #(parameter BASE = 0) (input clk, input rst, input en, output parity);
  wire [7:0] p;
  genvar i;
  generate
    for (i = 0; i < 8; i = i + 1) begin : g
      lane #(.SEED(24'h9E3779 ^ ((BASE + i) * 24'h10F1))) u_lane (.clk(clk), .rst(rst), .en(en),
                                                                 .parity(p[i]));
    end
  endgenerate
  assign parity = ^p;
endmodule

module delay_ram (input clk, input [15:0] din, output reg [15:0] dout = 0);
  reg [15:0] mem [0:255];
  reg [7:0] wa = 0;
  always @(posedge clk) begin
    mem[wa] <= din;
    dout <= mem[wa + 8'd1];
    wa <= wa + 1'b1;
  end
endmodule

module fill #(parameter BANKS = 9) (input clk, input rst, input en, output [BANKS-1:0] parity,
                                     output [15:0] delayed);
  genvar b;
  generate
    for (b = 0; b < BANKS; b = b + 1) begin : g
      bank #(.BASE(8 * b)) u_bank (.clk(clk), .rst(rst), .en(en), .parity(parity[b]));
    end
  endgenerate
  reg [15:0] stamp = 0;
  always @(posedge clk) stamp <= {stamp[14:0], ^parity} + 1'b1;
  delay_ram u_ram (.clk(clk), .din(stamp), .dout(delayed));
endmodule
